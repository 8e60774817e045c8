// The beep.
#include <QApplication>

#include "Host_App_Internal.h"

int gBeeps = 0;

void SysBeep(int16_t)
{
    ++gBeeps;
    QApplication::beep();
}
