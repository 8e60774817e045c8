// Display devices: the screens, or the displays a test describes, as the
// device list of Host_Displays.h.
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "Host_AGL_Internal.h"

bool gUseStandInDisplays = false;
std::vector<HostDisplayDevice> gStandInDisplays;

// The device list. Handles point into gDevicePtrs, which keeps its storage
// as long as the number of devices stays the same.
std::vector<GDevice> gDevices;

namespace {

std::vector<GDPtr> gDevicePtrs;

int16_t Clamp16(qreal value)
{
    return int16_t(std::clamp<qreal>(value, -32768.0, 32767.0));
}

} // namespace

void HostRefreshDevices()
{
    std::vector<GDevice> devices;
    if (gUseStandInDisplays) {
        for (const HostDisplayDevice& d : gStandInDisplays) {
            const int flags = (d.screen ? 1 << screenDevice : 0) | (d.active ? 1 << screenActive : 0);
            devices.push_back(GDevice{d.gdRect, int16_t(flags)});
        }
    } else if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        for (QScreen* screen : QGuiApplication::screens()) {
            const QRect g = screen->geometry();
            const qreal ratio = screen->devicePixelRatio();
            const Rect rect{Clamp16(g.top() * ratio), Clamp16(g.left() * ratio), Clamp16((g.bottom() + 1) * ratio),
                            Clamp16((g.right() + 1) * ratio)};
            devices.push_back(GDevice{rect, int16_t((1 << screenDevice) | (1 << screenActive))});
        }
    }
    if (devices.size() != gDevices.size()) {
        gDevices = devices;
        gDevicePtrs.clear();
        for (GDevice& device : gDevices)
            gDevicePtrs.push_back(&device);
    } else {
        std::copy(devices.begin(), devices.end(), gDevices.begin());
    }
}

int HostDeviceIndex(GDHandle gd)
{
    if (!gd || gDevicePtrs.empty() || gd < &gDevicePtrs.front() || gd > &gDevicePtrs.back())
        return -1;
    return int(gd - &gDevicePtrs.front());
}

GDHandle GetDeviceList()
{
    HostRefreshDevices();
    return gDevicePtrs.empty() ? nullptr : &gDevicePtrs.front();
}

GDHandle GetNextDevice(GDHandle gd)
{
    const int index = HostDeviceIndex(gd);
    if (index < 0 || index + 1 >= int(gDevicePtrs.size()))
        return nullptr;
    return &gDevicePtrs[size_t(index) + 1];
}

Boolean TestDeviceAttribute(GDHandle gd, int16_t attribute)
{
    if (HostDeviceIndex(gd) < 0 || attribute < 0 || attribute > 15)
        return false;
    return ((*gd)->gdFlags >> attribute) & 1;
}

Boolean SectRect(const Rect* src1, const Rect* src2, Rect* dst)
{
    Rect result{std::max(src1->top, src2->top), std::max(src1->left, src2->left), std::min(src1->bottom, src2->bottom),
                std::min(src1->right, src2->right)};
    const bool meet = result.top < result.bottom && result.left < result.right;
    if (!meet)
        result = Rect{0, 0, 0, 0};
    *dst = result;
    return meet;
}
