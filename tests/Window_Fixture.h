// Windows for tests of code that reaches a sprite window's record through
// the window's reference constant: hidden sprite windows made by the host as
// the program makes them. Suites that use them need a QApplication
// (Qt_Test_Main.cpp).
#pragma once

#include "Host_Window_Types.h"
#include "Sprite_Window.h"

// A hidden window "MainWindow" carrying record (may be null); null when the
// host could not make one.
WindowRef MakeTestWindow(recWindow* record);
void DisposeTestWindow(WindowRef window);
