// Looks into the application services that only tests take: what is alive,
// what the menus and the controls show, how often the program beeped.
#pragma once

#include "Host_App.h"

// The number of timers installed and not removed.
int FixtureTimerCount();
// The number of windows created and not disposed of.
int FixtureWindowCount();
// Whether the window is shown (ShowWindow and not HideWindow since).
Boolean FixtureWindowVisible(WindowRef window);
// Whether a menu item carries its check mark.
Boolean FixtureMenuItemChecked(MenuRef menu, uint16_t item);
// Whether the small window that carries the menu bar while no other window is
// shown is on the screen.
Boolean FixtureMenuBarWindowVisible();
// Whether a control takes clicks (EnableControl and not DisableControl since).
Boolean FixtureControlEnabled(ControlRef control);
// The text of a static text or button, as Latin-1, cut to size - 1 bytes.
void FixtureGetControlText(ControlRef control, char* text, int32_t size);
// The number of beeps so far.
int FixtureBeepCount();
