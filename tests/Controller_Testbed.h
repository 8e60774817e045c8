// Input devices described by their capabilities and put into a umockdev
// testbed: the sysfs tree udev shows (USB device and interface, Bluetooth
// adapter and link, HID device, input device and event node, with their
// attributes and properties) and the answers to the evdev ioctls libevdev asks
// when it opens a node. Events are played into a node as evemu scripts.
#pragma once

#include <umockdev.h>

#include <string>
#include <vector>

#include "Test_Support.h"

namespace controllers {

struct Axis {
    unsigned int code;
    int min;
    int max;
    int value = 0; // where it rests
    int fuzz = 0;
    int flat = 0;
    int resolution = 0;
};

// One input event node.
struct Node {
    std::string name;
    std::vector<Axis> axes;
    std::vector<unsigned int> keys;
    std::vector<unsigned int> rels;
    std::vector<unsigned int> props; // INPUT_PROP_*
    std::vector<unsigned int> msc;
    std::vector<unsigned int> sw;
    std::vector<std::string> classes; // udev's ID_INPUT_* flags besides ID_INPUT
    int interface = 0;                // USB interface number
};

enum class Bus { kUSB, kBluetooth, kPS2, kI2C, kHost };

// One physical device and its nodes, in the order the kernel registers them.
struct Device {
    std::string label;
    Bus bus;
    unsigned int vendor;
    unsigned int product;
    unsigned int version;
    std::string manufacturer; // USB device strings
    std::string usbProduct;
    std::string serial;
    std::string place; // USB: port path ("1-4"); Bluetooth: the address; others: the parent's sysfs path
    bool viaHid;       // the nodes hang under a HID device (not so for xpad or a PS/2 keyboard)
    std::vector<Node> nodes;
};

// A control moved on purpose: an axis to a value, or a key or button pressed.
struct Move {
    size_t node;
    unsigned int type; // EV_ABS or EV_KEY
    unsigned int code;
    int value;
};

// A device of the table with the control a user would steer with and a
// button (or key) to press.
struct Controller {
    Device device;
    Move steer;
    Move press;
};

const std::vector<Controller>& Table();

// The same device moved to another place (port or address).
Device At(Device device, const std::string& place);

class Testbed {
public:
    Testbed();
    ~Testbed();
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    // Adds the device; the event nodes it got, in its node order.
    std::vector<std::string> Add(const Device& device);
    // As root every node can be opened; a desktop user may open only the
    // joystick nodes (the others become unreadable).
    void SetDesktopUser(bool desktop);
    // Plays the moves into their nodes, each after its delay in seconds from
    // now. A testbed plays into each node once.
    void Play(const std::vector<std::string>& nodes, const std::vector<std::pair<Move, double>>& moves);

private:
    struct Added {
        std::string devnode;
        bool joystick;
    };
    UMockdevTestbed* testbed_;
    TemporaryFolder scratch_{"stardrift-controllers"};
    std::vector<Added> added_;
    std::vector<std::string> written_; // sysfs paths already described
    std::vector<std::string> played_;  // nodes that have had their events
    int nextNode_ = 3;
    int nextHid_ = 1;
};

} // namespace controllers
