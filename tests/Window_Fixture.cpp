#include "Window_Fixture.h"

#include <cstdlib>

WindowRef MakeTestWindow(recWindow* record)
{
    auto window = static_cast<WindowRef>(std::calloc(1, 16));
    SetWRefCon(window, record);
    return window;
}

void DisposeTestWindow(WindowRef window)
{
    SetWRefCon(window, nullptr);
    std::free(window);
}
