// Building and tearing down the GL context of an ordinary window: the display
// devices the window covers are checked for a suitable renderer, then a pixel
// format is chosen and a context created, attached and made current.
#pragma once

#include "Host_AGL.h"
#include "Host_GL_Types.h"
#include "Host_Types.h"
#include "Host_Window_Types.h"

// The request for one windowed GL context and its result.
struct structGLWindowInfo {
    Boolean fAcceleratedMust; // a hardware-accelerated renderer is required
    GLint aglAttributes[64];  // pixel-format attributes, terminated by 0
    SInt32 VRAM;              // in: frame-buffer memory needed; out: see the renderer checks
    SInt32 textureRAM;        // texture memory needed
    AGLPixelFormat fmt;       // the chosen pixel format, owned until the context is destroyed
    Boolean fDraggable;       // check and choose for every display, not only the window's
};

// Builds the context of pWindow into *paglContext as *pcontextInfo asks,
// sharing objects with aglShareContext when that can be. Success is a non-null
// context; a result of 0 alone does not mean success. paramErr for a null window.
OSStatus BuildGLFromWindow(WindowPtr pWindow, AGLContext* paglContext, structGLWindowInfo* pcontextInfo,
                           AGLContext aglShareContext);
OSStatus BuildGLonWindow(WindowPtr pWindow, AGLContext* paglContext, structGLWindowInfo* pcontextInfo,
                         AGLContext aglShareContext);

// Releases the context and the pixel format and clears *paglContext.
// paramErr when there is no context.
OSStatus DestroyGLFromWindow(AGLContext* paglContext, structGLWindowInfo* pcontextInfo);

// The number of display devices the window overlaps; *phgdOnThisDevice gets
// the one holding its largest part (the first such on equal areas), or null.
short FindGDHandleFromWindow(WindowPtr pWindow, GDHandle* phgdOnThisDevice);

// True when the device has a renderer with acceleration (when any of its
// renderers has it, or when fAccelMust requires it) and at least *pVRAM plus
// *pTextureRAM of video memory; *pVRAM then gets the largest such memory.
Boolean CheckRenderer(GDHandle hGD, SInt32* pVRAM, SInt32* pTextureRAM, GLint* pDepthSizeSupport, Boolean fAccelMust);
// CheckRenderer for every display device; *pVRAM gets the smallest of their memories.
Boolean CheckAllDeviceRenderers(SInt32* pVRAM, SInt32* pTextureRAM, GLint* pDepthSizeSupport, Boolean fAccelMust);
