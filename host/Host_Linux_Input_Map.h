// Inside the Linux registry: what an input event node is as a HID device.
#pragma once

#include <libevdev/libevdev.h>
#include <libudev.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Host_HID_Usages.h"
#include "Host_IOKit.h"

// Usage pages of the elements and devices made here: those of the HID tables
// (Host_HID_Usages.h), and two vendor-defined pages for what the tables have
// no usage for: absolute axes by their kernel code (extra hat pairs,
// ABS_MISC, unnamed codes) and keys by theirs.
constexpr int32_t kLinuxPageAxis = 0xFF00;
constexpr int32_t kLinuxPageKey = 0xFF01;

// What an element reads on the node.
enum class LinuxSource { kAbsolute, kRelative, kKey, kHat };

struct LinuxElement {
    LinuxSource source;
    unsigned int code; // for a hat, the code of its X axis
};

struct LinuxElementInfo {
    int32_t type;
    int32_t page;
    int32_t usage;
    int32_t min;
    int32_t max;
    bool relative;
    bool nullState;
    std::string name; // empty: the usage names it
    LinuxElement source;
};

// The node's elements in tree order: absolute axes and hat switches by code
// (multitouch slots left out), relative axes, buttons from BTN_MISC up
// numbered 1, 2, ... in code order, then every other key.
std::vector<LinuxElementInfo> LinuxNodeElements(libevdev* evdev);

// A node's identity from udev, readable whether or not the node itself is.
struct LinuxIdentity {
    int bus = 0;
    long vendor = 0;
    long product = 0;
    long version = 0;
    std::string name;
    std::string manufacturer;
    std::string serial;
    std::pair<int32_t, int32_t> usage{0, 0}; // primary usage page and usage
    std::string kind;                        // what that usage names: "Game Pad", "Motion Sensor", ...
    bool gameController = false;             // a joystick or game pad: listed first
    bool motionSensor = false;
};
LinuxIdentity LinuxNodeIdentity(udev_device* node);

// What the node is part of: its USB interface, its Bluetooth HID device, or
// its physical parent; nodes with the same one are ranked in node order.
std::string LinuxPhysicalParent(udev_device* node);

// The node's location ID from its place and its rank among the input nodes
// of its physical parent.
uint32_t LinuxLocationID(udev_device* node, const std::string& parent, unsigned int rank);
