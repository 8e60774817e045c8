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

namespace {

// What an element reads on the node.
enum class Source { kAbsolute, kRelative, kKey, kHat };

struct LinuxElement {
    Source source;
    unsigned int code;
};

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
    case Source::kAbsolute:
        return libevdev_get_event_value(node.evdev, EV_ABS, element.code);
    case Source::kKey:
        return libevdev_get_event_value(node.evdev, EV_KEY, element.code);
    case Source::kHat:
        return HatDirection(libevdev_get_event_value(node.evdev, EV_ABS, ABS_HAT0X),
                            libevdev_get_event_value(node.evdev, EV_ABS, ABS_HAT0Y));
    case Source::kRelative: {
        auto found = node.deltas.find(element.code);
        if (found == node.deltas.end() || std::chrono::steady_clock::now() - found->second.second > kDeltaLifetime)
            return 0;
        return found->second.first;
    }
    }
    return 0;
}

// --- the device interface

struct LinuxInterfaceObject {
    IOHIDDeviceInterface* table;
    ULONG references;
    std::shared_ptr<LinuxNode> node;
    bool open;
};

LinuxInterfaceObject* ObjectOf(void* self) { return static_cast<LinuxInterfaceObject*>(self); }

HRESULT InterfaceQuery(void*, REFIID, LPVOID* ppv)
{
    if (ppv)
        *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG InterfaceAddRef(void* self) { return ++ObjectOf(self)->references; }

ULONG InterfaceRelease(void* self)
{
    LinuxInterfaceObject* object = ObjectOf(self);
    if (--object->references > 0)
        return object->references;
    delete object;
    HostRegistryInterfaceDestroyed();
    return 0;
}

IOReturn InterfaceOpen(void* self, uint32_t)
{
    ObjectOf(self)->open = true;
    return kIOReturnSuccess;
}

IOReturn InterfaceClose(void* self)
{
    LinuxInterfaceObject* object = ObjectOf(self);
    if (!object->open)
        return kIOReturnNotOpen;
    object->open = false;
    return kIOReturnSuccess;
}

IOReturn InterfaceGetElementValue(void* self, IOHIDElementCookie cookie, IOHIDEventStruct* event)
{
    LinuxInterfaceObject* object = ObjectOf(self);
    if (!event)
        return kIOReturnBadArgument;
    if (!object->open)
        return kIOReturnNotOpen;
    LinuxNode& node = *object->node;
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

IOHIDDeviceInterface sInterfaceTable = {nullptr,       InterfaceQuery, InterfaceAddRef,         InterfaceRelease,
                                        InterfaceOpen, InterfaceClose, InterfaceGetElementValue};

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

const char* Attribute(udev_device* device, const char* name)
{
    return device ? udev_device_get_sysattr_value(device, name) : nullptr;
}

const char* Property(udev_device* device, const char* name)
{
    return device ? udev_device_get_property_value(device, name) : nullptr;
}

long Hex(const char* text)
{
    return text ? std::strtol(text, nullptr, 16) : 0;
}

// The location of a USB device from its bus number and port path ("1-1.4"):
// the bus in the top byte, then one nibble a port.
int64_t LocationID(udev_device* usb)
{
    const char* busText = Attribute(usb, "busnum");
    const char* name = usb ? udev_device_get_sysname(usb) : nullptr;
    if (!busText || !name)
        return 0;
    uint32_t location = uint32_t(std::atoi(busText) & 0xFF) << 24;
    const char* ports = std::strchr(name, '-');
    int shift = 20;
    for (const char* p = ports ? ports + 1 : ""; *p && shift >= 0;) {
        char* end = nullptr;
        const long port = std::strtol(p, &end, 10);
        if (end == p)
            break;
        location |= uint32_t(port & 0xF) << shift;
        shift -= 4;
        p = *end == '.' ? end + 1 : end;
        if (*end != '.')
            break;
    }
    return location;
}

const char* TransportName(int bus)
{
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
}

// Keyboard page usages of the kernel's key codes.
int32_t KeyboardUsage(unsigned int code)
{
    static const std::map<unsigned int, int32_t> kUsages = [] {
        std::map<unsigned int, int32_t> usages;
        const unsigned int letters[] = {KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I,
                                        KEY_J, KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R,
                                        KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};
        for (int i = 0; i < 26; ++i)
            usages[letters[i]] = 0x04 + i;
        for (int i = 0; i < 10; ++i)
            usages[KEY_1 + unsigned(i)] = 0x1E + i; // KEY_1..KEY_0 are consecutive, as are the usages
        const std::pair<unsigned int, int32_t> others[] = {
            {KEY_ENTER, 0x28},      {KEY_ESC, 0x29},        {KEY_BACKSPACE, 0x2A},  {KEY_TAB, 0x2B},
            {KEY_SPACE, 0x2C},      {KEY_MINUS, 0x2D},      {KEY_EQUAL, 0x2E},      {KEY_LEFTBRACE, 0x2F},
            {KEY_RIGHTBRACE, 0x30}, {KEY_BACKSLASH, 0x31},  {KEY_SEMICOLON, 0x33},  {KEY_APOSTROPHE, 0x34},
            {KEY_GRAVE, 0x35},      {KEY_COMMA, 0x36},      {KEY_DOT, 0x37},        {KEY_SLASH, 0x38},
            {KEY_CAPSLOCK, 0x39},   {KEY_SYSRQ, 0x46},      {KEY_SCROLLLOCK, 0x47}, {KEY_PAUSE, 0x48},
            {KEY_INSERT, 0x49},     {KEY_HOME, 0x4A},       {KEY_PAGEUP, 0x4B},     {KEY_DELETE, 0x4C},
            {KEY_END, 0x4D},        {KEY_PAGEDOWN, 0x4E},   {KEY_RIGHT, 0x4F},      {KEY_LEFT, 0x50},
            {KEY_DOWN, 0x51},       {KEY_UP, 0x52},         {KEY_NUMLOCK, 0x53},    {KEY_KPSLASH, 0x54},
            {KEY_KPASTERISK, 0x55}, {KEY_KPMINUS, 0x56},    {KEY_KPPLUS, 0x57},     {KEY_KPENTER, 0x58},
            {KEY_KP1, 0x59},        {KEY_KP2, 0x5A},        {KEY_KP3, 0x5B},        {KEY_KP4, 0x5C},
            {KEY_KP5, 0x5D},        {KEY_KP6, 0x5E},        {KEY_KP7, 0x5F},        {KEY_KP8, 0x60},
            {KEY_KP9, 0x61},        {KEY_KP0, 0x62},        {KEY_KPDOT, 0x63},      {KEY_102ND, 0x64},
            {KEY_COMPOSE, 0x65},    {KEY_POWER, 0x66},      {KEY_KPEQUAL, 0x67},    {KEY_LEFTCTRL, 0xE0},
            {KEY_LEFTSHIFT, 0xE1},  {KEY_LEFTALT, 0xE2},    {KEY_LEFTMETA, 0xE3},   {KEY_RIGHTCTRL, 0xE4},
            {KEY_RIGHTSHIFT, 0xE5}, {KEY_RIGHTALT, 0xE6},   {KEY_RIGHTMETA, 0xE7}};
        for (const auto& [key, usage] : others)
            usages[key] = usage;
        for (int i = 0; i < 10; ++i)
            usages[KEY_F1 + unsigned(i)] = 0x3A + i;
        usages[KEY_F11] = 0x44;
        usages[KEY_F12] = 0x45;
        for (int i = 0; i < 12; ++i)
            usages[KEY_F13 + unsigned(i)] = 0x68 + i;
        return usages;
    }();
    auto found = kUsages.find(code);
    return found == kUsages.end() ? 0 : found->second;
}

bool IsButtonCode(unsigned int code)
{
    return (code >= BTN_MOUSE && code <= BTN_TASK) || (code >= BTN_JOYSTICK && code <= BTN_THUMBR) ||
           (code >= BTN_DPAD_UP && code <= BTN_DPAD_RIGHT) ||
           (code >= BTN_TRIGGER_HAPPY1 && code <= BTN_TRIGGER_HAPPY40);
}

// The primary usage from udev's input class.
std::pair<int32_t, int32_t> PrimaryUsage(udev_device* device, libevdev* evdev)
{
    auto is = [device](const char* name) {
        const char* value = Property(device, name);
        return value && std::strcmp(value, "1") == 0;
    };
    if (is("ID_INPUT_JOYSTICK"))
        return {1, evdev && libevdev_has_event_code(evdev, EV_KEY, BTN_GAMEPAD) ? 5 : 4};
    if (is("ID_INPUT_MOUSE"))
        return {1, 2};
    if (is("ID_INPUT_KEYBOARD"))
        return {1, 6};
    return {0, 0};
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
    constexpr int32_t kMisc = 1, kButton = 2;
    CFMutableArrayRef elements = CFArrayCreateMutable(kCFAllocatorDefault, 0);
    IOHIDElementCookie cookie = 2;
    auto add = [&](CFMutableDictionaryRef element, LinuxElement source) {
        node.elements[cookie++] = source;
        CFArrayAppendValue(elements, element);
        CFRelease(element);
    };
    libevdev* evdev = node.evdev;
    for (unsigned int code = ABS_X; code <= ABS_WHEEL; ++code) {
        if (!libevdev_has_event_code(evdev, EV_ABS, code))
            continue;
        const input_absinfo* info = libevdev_get_abs_info(evdev, code);
        add(NewElement(kMisc, 1, int32_t(0x30 + code), cookie, info ? info->minimum : 0, info ? info->maximum : 0),
            {Source::kAbsolute, code});
    }
    if (libevdev_has_event_code(evdev, EV_ABS, ABS_HAT0X) && libevdev_has_event_code(evdev, EV_ABS, ABS_HAT0Y)) {
        CFMutableDictionaryRef hat = NewElement(kMisc, 1, 0x39, cookie, 0, 7);
        SetFlag(hat, "HasNullState", true);
        add(hat, {Source::kHat, ABS_HAT0X});
    }
    for (unsigned int code = REL_X; code <= REL_WHEEL; ++code) {
        if (!libevdev_has_event_code(evdev, EV_REL, code))
            continue;
        int32_t usage = 0;
        if (code <= REL_RZ)
            usage = int32_t(0x30 + code);
        else if (code == REL_DIAL)
            usage = 0x37;
        else if (code == REL_WHEEL)
            usage = 0x38;
        if (!usage)
            continue;
        CFMutableDictionaryRef axis = NewElement(kMisc, 1, usage, cookie, -127, 127);
        SetFlag(axis, "IsRelative", true);
        add(axis, {Source::kRelative, code});
    }
    int32_t button = 1;
    for (unsigned int code = 0; code <= KEY_MAX; ++code)
        if (IsButtonCode(code) && libevdev_has_event_code(evdev, EV_KEY, code))
            add(NewElement(kButton, 9, button++, cookie, 0, 1), {Source::kKey, code});
    for (unsigned int code = 0; code < BTN_MISC; ++code) {
        const int32_t usage = KeyboardUsage(code);
        if (usage && libevdev_has_event_code(evdev, EV_KEY, code))
            add(NewElement(kButton, 7, usage, cookie, 0, 1), {Source::kKey, code});
    }
    return elements;
}

// The registry entry of one event node.
std::shared_ptr<HostRegistryEntry> NodeEntry(udev_device* device, const char* devnode)
{
    auto node = std::make_shared<LinuxNode>();
    node->fd = open(devnode, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (node->fd >= 0 && libevdev_new_from_fd(node->fd, &node->evdev) != 0) {
        node->evdev = nullptr;
        close(node->fd);
        node->fd = -1;
    }
    udev_device* input = udev_device_get_parent_with_subsystem_devtype(device, "input", nullptr);
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");

    CFMutableDictionaryRef properties = CFDictionaryCreateMutable(kCFAllocatorDefault, 0);
    int bus = 0;
    if (node->evdev) {
        bus = libevdev_get_id_bustype(node->evdev);
        SetNumber(properties, "VendorID", libevdev_get_id_vendor(node->evdev));
        SetNumber(properties, "ProductID", libevdev_get_id_product(node->evdev));
        SetNumber(properties, "VersionNumber", libevdev_get_id_version(node->evdev));
        SetString(properties, "Product", libevdev_get_name(node->evdev));
    } else {
        // Without access to the node its identity still comes from udev.
        bus = int(Hex(Attribute(input, "id/bustype")));
        SetNumber(properties, "VendorID", Hex(Attribute(input, "id/vendor")));
        SetNumber(properties, "ProductID", Hex(Attribute(input, "id/product")));
        SetNumber(properties, "VersionNumber", Hex(Attribute(input, "id/version")));
        SetString(properties, "Product", Attribute(input, "name"));
    }
    SetString(properties, "Transport", TransportName(bus));
    const char* manufacturer = Attribute(usb, "manufacturer");
    SetString(properties, "Manufacturer", manufacturer ? manufacturer : Property(device, "ID_VENDOR"));
    const char* serial = Attribute(usb, "serial");
    SetString(properties, "SerialNumber", serial ? serial : Property(device, "ID_SERIAL_SHORT"));
    SetNumber(properties, "LocationID", LocationID(usb));
    const auto [page, usage] = PrimaryUsage(device, node->evdev);
    if (page) {
        SetNumber(properties, "PrimaryUsagePage", page);
        SetNumber(properties, "PrimaryUsage", usage);
    }
    if (node->evdev) {
        CFMutableDictionaryRef collection = NewElement(513, 1, usage, 1, 0, 0);
        CFMutableArrayRef children = NodeElements(*node);
        CFDictionarySetValue(collection, CFSTR("Elements"), children);
        CFRelease(children);
        CFMutableArrayRef top = CFArrayCreateMutable(kCFAllocatorDefault, 0);
        CFArrayAppendValue(top, collection);
        CFRelease(collection);
        CFDictionarySetValue(properties, CFSTR("Elements"), top);
        CFRelease(top);
    }

    // Parents: the input device, then the USB device with its own identity.
    auto usbEntry = std::make_shared<HostRegistryEntry>();
    usbEntry->properties = CFDictionaryCreateMutable(kCFAllocatorDefault, 0);
    if (usb) {
        SetNumber(usbEntry->properties, "idVendor", Hex(Attribute(usb, "idVendor")));
        SetNumber(usbEntry->properties, "idProduct", Hex(Attribute(usb, "idProduct")));
        SetString(usbEntry->properties, "USB Vendor Name", Attribute(usb, "manufacturer"));
        SetString(usbEntry->properties, "USB Product Name", Attribute(usb, "product"));
        SetNumber(usbEntry->properties, "locationID", LocationID(usb));
    }
    auto inputEntry = std::make_shared<HostRegistryEntry>();
    inputEntry->properties = CFDictionaryCreateMutable(kCFAllocatorDefault, 0);
    inputEntry->parent = usbEntry;

    auto entry = std::make_shared<HostRegistryEntry>();
    entry->properties = properties;
    entry->parent = inputEntry;
    if (node->evdev) {
        entry->plugInResult = KERN_SUCCESS;
        entry->makeInterface = [node](IOHIDDeviceInterface*** iface) -> HRESULT {
            auto* object = new LinuxInterfaceObject{&sInterfaceTable, 1, node, false};
            HostRegistryInterfaceCreated();
            *iface = &object->table;
            return S_OK;
        };
    } else {
        entry->plugInResult = kIOReturnNotPrivileged;
    }
    return entry;
}

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
    std::vector<std::pair<long, std::string>> nodes;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
    {
        const char* path = udev_list_entry_get_name(entry);
        udev_device* device = udev_device_new_from_syspath(context, path);
        const char* devnode = device ? udev_device_get_devnode(device) : nullptr;
        const char* sysname = device ? udev_device_get_sysname(device) : nullptr;
        if (devnode && sysname && std::strncmp(sysname, "event", 5) == 0)
            nodes.emplace_back(std::atol(sysname + 5), path);
        if (device)
            udev_device_unref(device);
    }
    std::sort(nodes.begin(), nodes.end());
    for (const auto& [number, path] : nodes) {
        if (udev_device* device = udev_device_new_from_syspath(context, path.c_str())) {
            if (const char* devnode = udev_device_get_devnode(device))
                devices.push_back(NodeEntry(device, devnode));
            udev_device_unref(device);
        }
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
