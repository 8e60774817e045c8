// The surface format of every GL window and context of the host.
#pragma once

#include <QSurfaceFormat>

// Compatibility profile, RGBA with 8 bits a channel, 16-bit depth, double
// buffered, the current swap interval.
QSurfaceFormat HostGLSurfaceFormat();
