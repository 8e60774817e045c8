// Inside the host: the state that the test seams of testing/ read and set.
// The program never changes it; tests replace the clock and the device
// registry through it and count what the HID layer leaves alive.
#pragma once

#include <vector>

#include "Host_AGL.h"
#include "Host_Time.h"

struct HostRegistryBackend;

// Where UpTime reads the time (Host_Time.cpp); null: the steady clock.
using HostUpTimeSource = AbsoluteTime (*)();
extern HostUpTimeSource gUpTimeSource;

// Objects of the value layer created and not yet freed, constants excluded
// (Host_CF.cpp).
extern long gCFLiveObjects;

// The registry behind the registry calls (Host_IOKit.cpp); null: the Linux one.
extern const HostRegistryBackend* gRegistryBackend;
// Registry handles (entries, iterators) not yet released, plug-ins and device
// interfaces still alive (Host_IOKit.cpp).
extern long gRegistryLiveHandles;
extern long gRegistryLivePlugIns;
extern long gRegistryLiveInterfaces;

// What a renderer reports about itself.
struct HostRendererFacts {
    Boolean accelerated;
    GLint videoMemory; // bytes
    GLint depthModes;  // AGL_*_BIT set
};

// One display device of a fixture, with its renderers.
struct HostDisplayDevice {
    Rect gdRect;
    Boolean screen;     // a screen device
    Boolean active;     // an active screen
    Boolean queryFails; // aglQueryRendererInfo fails for it
    int32_t numRenderers;
    HostRendererFacts renderers[4];
};

// The GL layer: display devices that a test describes instead of the screens
// while gUseStandInDisplays (Host_Displays.cpp); contexts that may not share,
// a call just before each swap (Host_AGL.cpp); the swap interval of surfaces
// made from now on (Host_GL_Format.cpp).
extern bool gUseStandInDisplays;
extern std::vector<HostDisplayDevice> gStandInDisplays;
extern bool gRefuseSharing;
using HostSwapHook = void (*)(AGLContext ctx, void* data);
extern HostSwapHook gSwapHook;
extern void* gSwapHookData;
extern int gSwapInterval;
