// Inside the host: the Qt surface behind a window, shared by the application
// services and the GL layer (and looked at by tests). The system's code never
// sees it.
#pragma once

#include "Host_Window_Types.h"

class QWindow;

// The surface a window's GL context draws into (a QWindow inside the window's
// content area), or null for a window without one.
QWindow* HostWindowSurface(WindowRef window);
