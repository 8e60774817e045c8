#include "Window_Fixture.h"

#include "Host_App.h"

WindowRef MakeTestWindow(recWindow* record)
{
    IBNibRef nib = nullptr;
    WindowRef window = nullptr;
    if (CreateNibReference("main", &nib) == noErr)
        CreateWindowFromNib(nib, "MainWindow", &window);
    DisposeNibReference(nib);
    SetWRefCon(window, record);
    return window;
}

void DisposeTestWindow(WindowRef window)
{
    DisposeWindow(window);
}
