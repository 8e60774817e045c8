// The surface format of every GL window and context of the host.
#pragma once

#include <QSurfaceFormat>

#include <cstdint>

#include "Host_Types.h"

// A pixel format: the surface format, and the number of display devices it
// was chosen for (0: every display).
struct AGLPixelFormatRec {
    QSurfaceFormat format;
    int32_t deviceCount;
};

// Compatibility profile, RGBA with 8 bits a channel, 16-bit depth, double
// buffered, the current swap interval.
QSurfaceFormat HostGLSurfaceFormat();

// True for the names of software renderers (Mesa llvmpipe, softpipe, swrast).
Boolean HostIsSoftwareRenderer(const char* rendererName);
