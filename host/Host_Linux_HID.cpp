// The Linux registry: one HID device per input event node (/dev/input/event*),
// in node order, described from udev and libevdev. Its element tree is one
// application collection with an element per capability; values are read
// from the node without blocking.
#include "Host_Registry.h"

#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Host_CF.h"
#include "Host_Linux_Input_Map.h"

namespace {

// The open node of one device, shared by its device interfaces.
struct LinuxNode {
    int fd = -1;
    libevdev* evdev = nullptr;
    bool gone = false; // a read failed: the device went away; reads give 0 from now on
    std::map<IOHIDElementCookie, LinuxElement> elements;
    // Relative axes: the latest delta and when it came.
    std::map<unsigned int, std::pair<int, std::chrono::steady_clock::time_point>> deltas;
    ~LinuxNode()
    {
        if (evdev)
            libevdev_free(evdev);
        if (fd >= 0)
            close(fd);
    }
};

// A relative axis reads its latest delta for this long after it came.
constexpr auto kDeltaLifetime = std::chrono::milliseconds(100);

void Note(LinuxNode& node, const input_event& event)
{
    if (event.type == EV_REL)
        node.deltas[event.code] = {event.value, std::chrono::steady_clock::now()};
}

// Takes in every pending event of the node, without blocking. Polling first
// keeps the common case (nothing pending) to one cheap system call.
void Drain(LinuxNode& node)
{
    if (node.gone || !node.evdev)
        return;
    pollfd ready{node.fd, POLLIN, 0};
    if (poll(&ready, 1, 0) <= 0 && !libevdev_has_event_pending(node.evdev))
        return;
    if (ready.revents & (POLLERR | POLLHUP | POLLNVAL)) {
        node.gone = true;
        return;
    }
    // One event after the other while more are pending: asking is a poll,
    // while a read that finds nothing costs a system call that fails.
    input_event event{};
    while (libevdev_has_event_pending(node.evdev) > 0) {
        int rc = libevdev_next_event(node.evdev, LIBEVDEV_READ_FLAG_NORMAL, &event);
        if (rc == LIBEVDEV_READ_STATUS_SYNC) {
            // Events were dropped: catch up with the device's state.
            while (rc == LIBEVDEV_READ_STATUS_SYNC) {
                Note(node, event);
                rc = libevdev_next_event(node.evdev, LIBEVDEV_READ_FLAG_SYNC, &event);
            }
            continue;
        }
        if (rc == LIBEVDEV_READ_STATUS_SUCCESS) {
            Note(node, event);
            continue;
        }
        if (rc != -EAGAIN)
            node.gone = true;
        return;
    }
    if (libevdev_has_event_pending(node.evdev) < 0)
        node.gone = true;
}

// The hat direction 0 (up) to 7 clockwise, or 8 when centred.
int32_t HatDirection(int x, int y)
{
    static constexpr int32_t kDirections[3][3] = {{7, 0, 1}, {6, 8, 2}, {5, 4, 3}}; // [y + 1][x + 1]
    return kDirections[std::clamp(y, -1, 1) + 1][std::clamp(x, -1, 1) + 1];
}

int32_t ElementValue(LinuxNode& node, const LinuxElement& element)
{
    switch (element.source) {
    case LinuxSource::kAbsolute:
        return libevdev_get_event_value(node.evdev, EV_ABS, element.code);
    case LinuxSource::kKey:
        return libevdev_get_event_value(node.evdev, EV_KEY, element.code);
    case LinuxSource::kHat:
        return HatDirection(libevdev_get_event_value(node.evdev, EV_ABS, element.code),
                            libevdev_get_event_value(node.evdev, EV_ABS, element.code + 1));
    case LinuxSource::kRelative: {
        auto found = node.deltas.find(element.code);
        if (found == node.deltas.end() || std::chrono::steady_clock::now() - found->second.second > kDeltaLifetime)
            return 0;
        return found->second.first;
    }
    }
    return 0;
}

// --- the device interface

// What one device interface holds: its node, and whether it is open.
struct LinuxInterface {
    std::shared_ptr<LinuxNode> node;
    bool open;
};
using LinuxInterfaceObject = HostCountedObject<IOHIDDeviceInterface, LinuxInterface>;

LinuxInterface& InterfaceOf(void* self)
{
    return HostObjectOf<LinuxInterfaceObject>(self)->held;
}

ULONG InterfaceRelease(void* self)
{
    return HostDropReference<LinuxInterfaceObject>(self, HostRegistryInterfaceDestroyed);
}

IOReturn InterfaceOpen(void* self, uint32_t)
{
    InterfaceOf(self).open = true;
    return kIOReturnSuccess;
}

IOReturn InterfaceClose(void* self)
{
    LinuxInterface& held = InterfaceOf(self);
    if (!held.open)
        return kIOReturnNotOpen;
    held.open = false;
    return kIOReturnSuccess;
}

IOReturn InterfaceGetElementValue(void* self, IOHIDElementCookie cookie, IOHIDEventStruct* event)
{
    const LinuxInterface& held = InterfaceOf(self);
    if (!event)
        return kIOReturnBadArgument;
    if (!held.open)
        return kIOReturnNotOpen;
    LinuxNode& node = *held.node;
    event->elementCookie = cookie;
    event->value = 0;
    auto found = node.elements.find(cookie);
    if (found == node.elements.end())
        return kIOReturnBadArgument;
    Drain(node);
    if (!node.gone)
        event->value = ElementValue(node, found->second);
    return kIOReturnSuccess;
}

IOHIDDeviceInterface gInterfaceTable = {
    nullptr,        HostNoOtherInterface,    HostAddReference<LinuxInterfaceObject>, InterfaceRelease, InterfaceOpen,
    InterfaceClose, InterfaceGetElementValue};

// --- property lists

void SetNumber(CFMutableDictionaryRef dictionary, const char* key, int64_t value)
{
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value);
    CFDictionarySetValue(dictionary, CFSTR(key), number);
    CFRelease(number);
}

void SetString(CFMutableDictionaryRef dictionary, const char* key, const char* text)
{
    if (!text || !*text)
        return;
    CFStringRef string = CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
    CFDictionarySetValue(dictionary, CFSTR(key), string);
    CFRelease(string);
}

void SetFlag(CFMutableDictionaryRef dictionary, const char* key, bool value)
{
    CFDictionarySetValue(dictionary, CFSTR(key), value ? kCFBooleanTrue : kCFBooleanFalse);
}

// --- udev

const char* TransportName(int bus)
{
    // clang-format off
    switch (bus) {
    case BUS_USB: return "USB";
    case BUS_BLUETOOTH: return "Bluetooth";
    case BUS_VIRTUAL: return "Virtual";
    case BUS_I8042: return "PS/2";
    case BUS_I2C: return "I2C";
    case BUS_RS232: return "Serial";
    case BUS_PCI: return "PCI";
    case BUS_HOST: return "Host";
    default: return bus ? "Other" : nullptr;
    }
    // clang-format on
}

CFMutableDictionaryRef NewElement(int32_t type, int32_t page, int32_t usage, IOHIDElementCookie cookie, int32_t min,
                                  int32_t max)
{
    CFMutableDictionaryRef element = CFDictionaryCreateMutable(kCFAllocatorDefault, 0);
    SetNumber(element, "Type", type);
    SetNumber(element, "UsagePage", page);
    SetNumber(element, "Usage", usage);
    SetNumber(element, "ElementCookie", cookie);
    SetNumber(element, "Min", min);
    SetNumber(element, "Max", max);
    return element;
}

// The elements of the node, in the collection's order, cookies from 2.
CFMutableArrayRef NodeElements(LinuxNode& node)
{
    CFMutableArrayRef elements = CFArrayCreateMutable(kCFAllocatorDefault, 0);
    IOHIDElementCookie cookie = 2;
    for (const LinuxElementInfo& info : LinuxNodeElements(node.evdev)) {
        CFMutableDictionaryRef element = NewElement(info.type, info.page, info.usage, cookie, info.min, info.max);
        if (info.relative)
            SetFlag(element, "IsRelative", true);
        if (info.nullState)
            SetFlag(element, "HasNullState", true);
        SetString(element, "Name", info.name.c_str());
        node.elements[cookie++] = info.source;
        CFArrayAppendValue(elements, element);
        CFRelease(element);
    }
    return elements;
}

// The registry entry of one event node, at its place.
std::shared_ptr<HostRegistryEntry> NodeEntry(const char* devnode, const LinuxIdentity& identity, uint32_t location)
{
    auto node = std::make_shared<LinuxNode>();
    node->fd = open(devnode, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (node->fd >= 0 && libevdev_new_from_fd(node->fd, &node->evdev) != 0) {
        node->evdev = nullptr;
        close(node->fd);
        node->fd = -1;
    }

    // The identity comes from udev, so that a node without access has it too.
    CFMutableDictionaryRef properties = CFDictionaryCreateMutable(kCFAllocatorDefault, 0);
    SetNumber(properties, "VendorID", identity.vendor);
    SetNumber(properties, "ProductID", identity.product);
    SetNumber(properties, "VersionNumber", identity.version);
    SetString(properties, "Product", identity.name.c_str());
    SetString(properties, "Transport", TransportName(identity.bus));
    SetString(properties, "Manufacturer", identity.manufacturer.c_str());
    SetString(properties, "SerialNumber", identity.serial.c_str());
    SetNumber(properties, "LocationID", int32_t(location));
    SetNumber(properties, "PrimaryUsagePage", identity.usage.first);
    SetNumber(properties, "PrimaryUsage", identity.usage.second);
    if (node->evdev) {
        CFMutableDictionaryRef collection = NewElement(513, identity.usage.first, identity.usage.second, 1, 0, 0);
        SetString(collection, "Name", identity.kind.c_str());
        CFMutableArrayRef children = NodeElements(*node);
        CFDictionarySetValue(collection, CFSTR("Elements"), children);
        CFRelease(children);
        CFMutableArrayRef top = CFArrayCreateMutable(kCFAllocatorDefault, 0);
        CFArrayAppendValue(top, collection);
        CFRelease(collection);
        CFDictionarySetValue(properties, CFSTR("Elements"), top);
        CFRelease(top);
    }

    // Parents: the input device, then the physical device. Every identity
    // key is on the node's own entry, so the physical device's properties
    // (the fallbacks) stay empty.
    auto physicalEntry = std::make_shared<HostRegistryEntry>();
    physicalEntry->properties = CFDictionaryCreateMutable(kCFAllocatorDefault, 0);
    auto inputEntry = std::make_shared<HostRegistryEntry>();
    inputEntry->properties = CFDictionaryCreateMutable(kCFAllocatorDefault, 0);
    inputEntry->parent = physicalEntry;

    auto entry = std::make_shared<HostRegistryEntry>();
    entry->properties = properties;
    entry->parent = inputEntry;
    if (node->evdev) {
        entry->plugInResult = KERN_SUCCESS;
        entry->makeInterface = [node](IOHIDDeviceInterface*** iface) -> HRESULT {
            return HostMakeInterface(&gInterfaceTable, LinuxInterface{node, false}, iface);
        };
    } else {
        entry->plugInResult = kIOReturnNotPrivileged;
    }
    return entry;
}

// One input event node found by udev.
struct FoundNode {
    long number; // N of eventN
    udev_device* device;
    LinuxIdentity identity;
    std::string parent;
    unsigned int rank = 0;
};

// Every input event node: game controllers first, then the others, each
// group in node order.
kern_return_t EnumerateNodes(HostRegistryEntries& devices, bool& noIterator)
{
    noIterator = false;
    udev* context = udev_new();
    if (!context) {
        noIterator = true;
        return KERN_SUCCESS;
    }
    udev_enumerate* enumerate = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(enumerate, "input");
    udev_enumerate_scan_devices(enumerate);
    std::vector<FoundNode> nodes;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
    {
        udev_device* device = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        const char* sysname = device ? udev_device_get_sysname(device) : nullptr;
        if (device && udev_device_get_devnode(device) && sysname && std::strncmp(sysname, "event", 5) == 0) {
            nodes.push_back({std::atol(sysname + 5), device, LinuxNodeIdentity(device), LinuxPhysicalParent(device)});
        } else if (device) {
            udev_device_unref(device);
        }
    }
    std::sort(nodes.begin(), nodes.end(), [](const FoundNode& a, const FoundNode& b) { return a.number < b.number; });
    // Each node's rank among the nodes of its physical parent, in node order.
    std::map<std::string, unsigned int> counts;
    for (FoundNode& node : nodes)
        node.rank = counts[node.parent]++;
    std::stable_sort(nodes.begin(), nodes.end(), [](const FoundNode& a, const FoundNode& b) {
        return a.identity.gameController && !b.identity.gameController;
    });
    std::vector<uint32_t> taken;
    for (FoundNode& node : nodes) {
        uint32_t location = LinuxLocationID(node.device, node.parent, node.rank);
        // Folded or hashed places that still meet: the later node moves on.
        while (std::find(taken.begin(), taken.end(), location) != taken.end())
            ++location;
        taken.push_back(location);
        devices.push_back(NodeEntry(udev_device_get_devnode(node.device), node.identity, location));
        udev_device_unref(node.device);
    }
    udev_enumerate_unref(enumerate);
    udev_unref(context);
    return KERN_SUCCESS;
}

} // namespace

const HostRegistryBackend& HostLinuxRegistryBackend()
{
    static const HostRegistryBackend backend{[] { return kern_return_t(KERN_SUCCESS); }, [] { return false; },
                                             EnumerateNodes};
    return backend;
}
