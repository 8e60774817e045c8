// Controls of the GL layer for tests and tools: display-device and renderer
// fixtures, context-sharing refusal, a look at each frame before its swap,
// and the swap interval of new windows.
#pragma once

#include "Host_AGL.h"
#include "Host_Seam_State.h"

// Replaces the screens and their renderers by count stand-in devices, in list
// order; null devices returns to the real screens.
void FixtureUseDisplays(const HostDisplayDevice* devices, int32_t count);

// The number of devices a pixel format was chosen for; 0 when for every display.
int32_t FixturePixelFormatDeviceCount(AGLPixelFormat pix);

// While refused, aglCreateContext with a share context fails with AGL_BAD_MATCH.
void FixtureRefuseContextSharing(Boolean refuse);

// Called by aglSwapBuffers with the context current, just before the swap:
// the finished frame is still in the back buffer. Null removes it.
void FixtureSetBeforeSwapHook(HostSwapHook hook, void* data);

// Swap interval of the GL surfaces of windows created from now on (1: wait
// for the display's retrace, 0: swap at once).
void FixtureSetSwapInterval(int interval);
