// Windows for tests of code that reaches a sprite window's record through
// the window's reference constant.
#pragma once

#include "Host_Window_Types.h"
#include "Sprite_Window.h"

WindowRef MakeTestWindow(recWindow* record);
void DisposeTestWindow(WindowRef window);
