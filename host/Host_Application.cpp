#include "Host_Application.h"

#include <QApplication>

namespace {

QApplication* gApplication = nullptr;

} // namespace

void HostStartApplication(int* argc, char** argv, const char* name)
{
    if (gApplication)
        return;
    gApplication = new QApplication(*argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(name));
}

void HostEndApplication()
{
    delete gApplication;
    gApplication = nullptr;
}
