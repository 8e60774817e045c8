// Drawing ports: the current port, each window's port and its coordinates.
#include <QWindow>

#include "Host_App_Internal.h"

CGrafPtr gCurrentPort = nullptr;

CGrafPtr GetWindowPort(WindowRef window)
{
    return reinterpret_cast<CGrafPtr>(window);
}

void GetPort(GrafPtr* port)
{
    if (port)
        *port = gCurrentPort;
}

void SetPort(GrafPtr port)
{
    gCurrentPort = port;
}

void SetPortWindowPort(WindowRef window)
{
    gCurrentPort = GetWindowPort(window);
}

void LocalToGlobal(Point* point)
{
    WindowRef window = reinterpret_cast<WindowRef>(gCurrentPort);
    if (!point || !HostIsLiveWindow(window))
        return;
    QWindow* surface = window->surface ? window->surface : window->main->windowHandle();
    if (!surface)
        return;
    const qreal ratio = surface->devicePixelRatio();
    const QPoint global = surface->mapToGlobal(QPoint(int(point->h / ratio), int(point->v / ratio)));
    point->h = int16_t(global.x() * ratio);
    point->v = int16_t(global.y() * ratio);
}
