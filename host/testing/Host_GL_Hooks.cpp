#include "Host_GL_Hooks.h"

#include <algorithm>

#include "Host_GL_Format.h"

void FixtureUseDisplays(const HostDisplayDevice* devices, int32_t count)
{
    // The device list is made again from these at its next use.
    gUseStandInDisplays = devices != nullptr;
    gStandInDisplays.assign(devices, devices ? devices + std::max(count, 0) : devices);
}

int32_t FixturePixelFormatDeviceCount(AGLPixelFormat pix)
{
    return pix ? pix->deviceCount : 0;
}

void FixtureRefuseContextSharing(Boolean refuse)
{
    gRefuseSharing = refuse;
}

void FixtureSetBeforeSwapHook(HostSwapHook hook, void* data)
{
    gSwapHook = hook;
    gSwapHookData = data;
}

void FixtureSetSwapInterval(int interval)
{
    gSwapInterval = std::max(0, interval);
}
