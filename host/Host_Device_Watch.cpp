#include "Host_Device_Watch.h"

#include <libudev.h>

#include <QSocketNotifier>

#include <cstring>

namespace {

struct DeviceWatch {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    QSocketNotifier* notifier = nullptr;
    HostDevicesChangedProc changed = nullptr;
    bool held = false;
    bool heldChange = false; // a change came while held
};

DeviceWatch gWatch;

// True for the arrival or departure of an input event node; other input
// devices (the parent input device, joystick and mouse nodes) come with one.
bool IsEventNodeChange(udev_device* device)
{
    const char* subsystem = udev_device_get_subsystem(device);
    const char* sysname = udev_device_get_sysname(device);
    const char* action = udev_device_get_action(device);
    if (!subsystem || !sysname || !action || std::strcmp(subsystem, "input") != 0 ||
        std::strncmp(sysname, "event", 5) != 0)
        return false;
    return std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0;
}

// Takes every message waiting on the socket, then tells the caller once.
void Receive()
{
    bool changed = false;
    while (udev_device* device = udev_monitor_receive_device(gWatch.monitor)) {
        changed = IsEventNodeChange(device) || changed;
        udev_device_unref(device);
    }
    if (!changed || !gWatch.changed)
        return;
    if (gWatch.held)
        gWatch.heldChange = true;
    else
        gWatch.changed();
}

} // namespace

bool HostWatchDevices(HostDevicesChangedProc changed)
{
    HostStopWatchingDevices();
    gWatch.context = udev_new();
    gWatch.monitor = gWatch.context ? udev_monitor_new_from_netlink(gWatch.context, "udev") : nullptr;
    // The subsystem filter runs in the kernel where it can; Receive checks
    // again, as a filter that could not be installed lets everything through.
    if (!gWatch.monitor || udev_monitor_filter_add_match_subsystem_devtype(gWatch.monitor, "input", nullptr) < 0 ||
        udev_monitor_enable_receiving(gWatch.monitor) < 0) {
        HostStopWatchingDevices();
        return false;
    }
    gWatch.changed = changed;
    gWatch.notifier = new QSocketNotifier(udev_monitor_get_fd(gWatch.monitor), QSocketNotifier::Read);
    QObject::connect(gWatch.notifier, &QSocketNotifier::activated, gWatch.notifier, [] { Receive(); });
    return true;
}

void HostStopWatchingDevices()
{
    delete gWatch.notifier;
    if (gWatch.monitor)
        udev_monitor_unref(gWatch.monitor);
    if (gWatch.context)
        udev_unref(gWatch.context);
    gWatch = DeviceWatch{};
}

void HostHoldDeviceChanges(bool hold)
{
    gWatch.held = hold;
    if (hold || !gWatch.heldChange)
        return;
    gWatch.heldChange = false;
    if (gWatch.changed)
        gWatch.changed();
}
