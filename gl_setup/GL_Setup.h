// Building and tearing down the GL context of an ordinary window.
#pragma once

#include "Host_GL_Types.h"
#include "Host_Types.h"

// The request for one windowed GL context and its result.
struct structGLWindowInfo {
    Boolean fAcceleratedMust;  // a hardware-accelerated renderer is required
    GLint aglAttributes[64];   // pixel-format attributes, terminated by 0
    SInt32 VRAM;               // in: frame-buffer memory needed; out: see the renderer checks
    SInt32 textureRAM;         // texture memory needed
    AGLPixelFormat fmt;        // the chosen pixel format, owned until the context is destroyed
    Boolean fDraggable;        // check and choose for every display, not only the window's
};
