// The game controllers, keyboards and touchpads people own, described to the
// Linux registry under umockdev from the capabilities their kernel drivers
// give them: every control listed and read, a binding by movement made, and
// that binding found again on the same control after a rebuild, both as root
// and as a desktop user who may open only the joystick nodes.
#include <gtest/gtest.h>

#include <linux/input.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "Config_Window.h"
#include "Controller_Testbed.h"
#include "HID_Config_Utilities.h"
#include "HID_Devices_External.h"
#include "List_Devices_Output.h"

namespace {

using controllers::Device;
using controllers::Move;
using controllers::Node;
using controllers::Table;
using controllers::Testbed;

bool IsJoystick(const Node& node)
{
    return std::find(node.classes.begin(), node.classes.end(), "ID_INPUT_JOYSTICK") != node.classes.end();
}

// A joystick node a person steers with, not a motion sensor: hid-wiimote's
// accelerometer is a joystick to udev yet has nothing but RX, RY and RZ.
bool IsController(const Node& node)
{
    std::vector<unsigned int> codes;
    for (const controllers::Axis& axis : node.axes)
        codes.push_back(axis.code);
    const bool rotationAlone = node.keys.empty() && codes == std::vector<unsigned int>{ABS_RX, ABS_RY, ABS_RZ};
    return IsJoystick(node) && !rotationAlone;
}

bool IsButton(unsigned int code)
{
    return (code >= BTN_MISC && code < KEY_OK) || (code >= BTN_DPAD_UP && code <= BTN_DPAD_RIGHT) ||
           code >= BTN_TRIGGER_HAPPY;
}

// Where each node of the devices (in the order they were added) stands in the
// device list: game controller nodes first, then the others, each in node
// order.
std::vector<std::pair<size_t, size_t>> ListOrder(const std::vector<Device>& devices)
{
    std::vector<std::pair<size_t, size_t>> order;
    for (bool joysticks : {true, false})
        for (size_t d = 0; d < devices.size(); ++d)
            for (size_t n = 0; n < devices[d].nodes.size(); ++n)
                if (IsController(devices[d].nodes[n]) == joysticks)
                    order.emplace_back(d, n);
    return order;
}

pRecDevice DeviceOf(const std::vector<Device>& devices, size_t device, size_t node)
{
    const auto order = ListOrder(devices);
    const size_t position = size_t(std::find(order.begin(), order.end(), std::make_pair(device, node)) - order.begin());
    pRecDevice d = HIDGetFirstDevice();
    for (size_t i = 0; d && i < position; ++i)
        d = HIDGetNextDevice(d);
    return d;
}

// The elements a node must show: its absolute axes but the multitouch ones,
// a pair of hat axes with the range -1..1 counted once, the relative axes
// the registry reads, and every key and button.
size_t ExpectedElements(const Node& node)
{
    size_t count = node.keys.size();
    for (unsigned int rel : node.rels)
        count += rel <= REL_RZ || rel == REL_DIAL || rel == REL_WHEEL;
    for (const controllers::Axis& axis : node.axes) {
        if (axis.code >= ABS_MT_SLOT && axis.code <= ABS_MT_TOOL_Y)
            continue;
        const bool hatY = axis.code >= ABS_HAT0X && axis.code <= ABS_HAT3Y && (axis.code - ABS_HAT0X) % 2 == 1;
        const bool pairedWithX = std::any_of(node.axes.begin(), node.axes.end(), [&](const controllers::Axis& x) {
            return x.code == axis.code - 1 && x.min == -1 && x.max == 1;
        });
        if (hatY && pairedWithX && axis.min == -1 && axis.max == 1)
            continue;
        ++count;
    }
    return count;
}

void Build(bool desktopUser)
{
    const bool drop = desktopUser && geteuid() == 0;
    if (drop) {
        ASSERT_EQ(seteuid(65534), 0);
    }
    const bool built = HIDBuildDeviceList(0, 0);
    if (drop) {
        ASSERT_EQ(seteuid(0), 0);
    }
    ASSERT_TRUE(built);
}

// The element whose value the event sets, waiting for the event to come.
int32_t ValueAfter(pRecDevice device, pRecElement element, int32_t expected)
{
    // Five seconds at most: a sanitized build on a loaded machine is slow.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int32_t value = HIDGetElementValue(device, element);
    while (value != expected && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        value = HIDGetElementValue(device, element);
    }
    return value;
}

// The input elements of the device in list order.
std::vector<pRecElement> Inputs(pRecDevice device)
{
    std::vector<pRecElement> inputs;
    for (pRecElement e = HIDGetFirstDeviceElement(device, kHIDElementTypeInput); e;
         e = HIDGetNextDeviceElement(e, kHIDElementTypeInput))
        inputs.push_back(e);
    return inputs;
}

// Button and key elements of the device that read 1.
std::vector<pRecElement> Pressed(pRecDevice device)
{
    std::vector<pRecElement> pressed;
    for (pRecElement e : Inputs(device))
        if (e->type == kIOHIDElementTypeInput_Button && HIDGetElementValue(device, e) == 1)
            pressed.push_back(e);
    return pressed;
}

template <typename Match>
pRecElement FirstInput(pRecDevice device, Match match)
{
    const std::vector<pRecElement> inputs = Inputs(device);
    auto found = std::find_if(inputs.begin(), inputs.end(), match);
    return found == inputs.end() ? nullptr : *found;
}

pRecElement ElementWithUsage(pRecDevice device, int32_t page, int32_t usage)
{
    return FirstInput(device, [&](pRecElement e) { return e->usagePage == page && e->usage == usage; });
}

struct Binding {
    std::string product;
    SInt32 locID = 0;
    IOHIDElementCookie cookie = 0;
};

// Saves the binding, rebuilds the list and restores it.
Binding SaveRebuildRestore(pRecDevice device, pRecElement element, bool desktopUser)
{
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    if (!file)
        return {};
    HIDSaveElementConfig(file, device, element, kSaveHIDBytes);
    HIDReleaseDeviceList();
    Build(desktopUser);
    std::rewind(file);
    pRecDevice found = nullptr;
    pRecElement foundElement = nullptr;
    EXPECT_EQ(HIDRestoreElementConfig(file, &found, &foundElement), kSaveHIDBytes);
    std::fclose(file);
    if (!found || !foundElement)
        return {};
    return {found->product, found->locID, foundElement->cookie};
}

class Controllers : public testing::TestWithParam<size_t> {
protected:
    void SetUp() override { ASSERT_NE(std::getenv("LD_PRELOAD"), nullptr) << "run under umockdev-wrapper"; }
    void TearDown() override { HIDReleaseDeviceList(); }
};

TEST_P(Controllers, EveryControlIsListedReadAndBoundAgainAfterARestart)
{
    const controllers::Controller& controller = Table()[GetParam()];
    const Device& device = controller.device;
    for (bool desktop : {false, true}) {
        SCOPED_TRACE(desktop ? "desktop user" : "root");
        Testbed bed;
        const std::vector<std::string> nodes = bed.Add(device);
        bed.SetDesktopUser(desktop);
        Build(desktop);
        ASSERT_EQ(HIDCountDevices(), device.nodes.size());

        // The list: joystick nodes first, every control of every readable node.
        const auto order = ListOrder({device});
        pRecDevice d = HIDGetFirstDevice();
        for (const auto& [unused, n] : order) {
            const Node& node = device.nodes[n];
            ASSERT_NE(d, nullptr);
            EXPECT_EQ(d->product, node.name);
            EXPECT_NE(d->usagePage, 0) << node.name;
            EXPECT_NE(d->usage, 0) << node.name;
            EXPECT_EQ(d->vendorID, int32_t(device.vendor));
            const bool readable = !desktop || IsJoystick(node);
            EXPECT_EQ(d->interface != nullptr, readable) << node.name;
            EXPECT_EQ(HIDCountDeviceElements(d, kHIDElementTypeInput), readable ? ExpectedElements(node) : 0u)
                << node.name;
            std::set<IOHIDElementCookie> cookies;
            for (pRecElement e : Inputs(d)) {
                EXPECT_TRUE(cookies.insert(e->cookie).second);
                EXPECT_NE(std::string(e->name), "Element") << node.name << " cookie " << e->cookie;
                EXPECT_EQ(std::string(e->name).find("Usage 0x0"), std::string::npos) << e->name;
            }
            d = HIDGetNextDevice(d);
        }

        const Move& steer = controller.steer;
        pRecDevice steerDevice = DeviceOf({device}, 0, steer.node);
        if (desktop && !IsJoystick(device.nodes[steer.node])) {
            // A desktop user cannot read a keyboard or touchpad at all.
            EXPECT_EQ(steerDevice->interface, nullptr);
            const bool anyJoystick =
                std::any_of(device.nodes.begin(), device.nodes.end(), [](const Node& n) { return IsJoystick(n); });
            EXPECT_EQ(HIDHaveConfigurableElement(), anyJoystick);
            HIDReleaseDeviceList();
            continue;
        }

        // The steering control moved a little after the wait began, then a
        // button pressed.
        bed.Play(nodes, {{steer, 0.15}, {controller.press, 0.25}});
        pRecDevice bound = nullptr;
        pRecElement element = nullptr;
        ASSERT_TRUE(HIDConfigureAction(&bound, &element, 5.0f));
        EXPECT_EQ(bound, steerDevice) << bound->product;
        EXPECT_EQ(ValueAfter(bound, element, steer.value), steer.value) << "the value follows the event";
        if (steer.type == EV_ABS && steer.code <= ABS_WHEEL) {
            EXPECT_EQ(element->usagePage, 1);
            EXPECT_EQ(element->usage, int32_t(0x30 + steer.code));
        }

        // The button pressed reads 1, and it is the only one.
        pRecDevice pressDevice = DeviceOf({device}, 0, controller.press.node);
        std::vector<pRecElement> pressed;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (pressed.empty() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pressed = Pressed(pressDevice);
        }
        ASSERT_EQ(pressed.size(), 1u);
        const Node& pressNode = device.nodes[controller.press.node];
        if (IsButton(controller.press.code)) {
            // Buttons are numbered 1, 2, 3, ... in code order.
            int32_t number = 1;
            for (unsigned int code : pressNode.keys)
                number += IsButton(code) && code < controller.press.code;
            EXPECT_EQ(pressed[0]->usagePage, 9);
            EXPECT_EQ(pressed[0]->usage, number) << pressed[0]->name;
        }

        const Binding before{bound->product, bound->locID, element->cookie};
        const Binding after = SaveRebuildRestore(bound, element, desktop);
        EXPECT_EQ(after.product, before.product);
        EXPECT_EQ(after.locID, before.locID) << "the same node, not a sibling";
        EXPECT_EQ(after.cookie, before.cookie);
        HIDReleaseDeviceList();
    }
}

INSTANTIATE_TEST_SUITE_P(RealDevices, Controllers, testing::Range(size_t(0), Table().size()),
                         [](const testing::TestParamInfo<size_t>& info) { return Table()[info.param].device.label; });

const Device& DeviceLabelled(const std::string& label)
{
    for (const auto& controller : Table())
        if (controller.device.label == label)
            return controller.device;
    throw std::runtime_error(label);
}

const controllers::Controller& ControllerLabelled(const std::string& label)
{
    for (const auto& controller : Table())
        if (controller.device.label == label)
            return controller;
    throw std::runtime_error(label);
}

class ControllerIdentity : public Controllers {};

TEST_F(ControllerIdentity, SiblingNodesAndPadsOnOneReceiverHaveTheirOwnPlaces)
{
    Testbed bed;
    const std::vector<Device> devices{controllers::At(DeviceLabelled("DualShock4Usb"), "1-4"),
                                      controllers::At(DeviceLabelled("Xbox360WirelessReceiver"), "2-1.3")};
    bed.Add(devices[0]);
    bed.Add(devices[1]);
    Build(false);
    pRecDevice touchpad = DeviceOf(devices, 0, 0), motion = DeviceOf(devices, 0, 1), pad = DeviceOf(devices, 0, 2);
    // Bus 1, port 4, interface 3, ranks 0, 1 and 2 in node order.
    EXPECT_EQ(uint32_t(touchpad->locID), 0x01400030u);
    EXPECT_EQ(uint32_t(motion->locID), 0x01400031u);
    EXPECT_EQ(uint32_t(pad->locID), 0x01400032u);
    for (pRecDevice node : {touchpad, motion, pad}) {
        EXPECT_STREQ(node->manufacturer, "Sony Interactive Entertainment");
        EXPECT_STREQ(node->transport, "USB");
        EXPECT_EQ(node->vendorID, 0x054c);
    }
    EXPECT_EQ(touchpad->usagePage, 0x0D) << "a touch pad";
    EXPECT_EQ(touchpad->usage, 0x05);
    EXPECT_EQ(motion->usagePage, kHIDPage_Sensor);
    EXPECT_EQ(pad->usagePage, 1);
    EXPECT_EQ(pad->usage, 5);
    // Bus 2, ports 1 and 3, interfaces 0 and 2.
    EXPECT_EQ(uint32_t(DeviceOf(devices, 1, 0)->locID), 0x02130000u);
    EXPECT_EQ(uint32_t(DeviceOf(devices, 1, 1)->locID), 0x02130020u);
    EXPECT_STREQ(DeviceOf(devices, 1, 1)->serial, "E02F1950");
    EXPECT_EQ(HIDGetFirstDevice(), pad) << "game controllers come first, the touchpad after them";
}

TEST_F(ControllerIdentity, ABluetoothPadIsItselfNotItsAdapter)
{
    Testbed bed;
    const Device& ds4 = DeviceLabelled("DualShock4Bluetooth");
    bed.Add(ds4);
    Build(false);
    std::set<SInt32> places;
    for (size_t n = 0; n < ds4.nodes.size(); ++n) {
        pRecDevice node = DeviceOf({ds4}, 0, n);
        EXPECT_STREQ(node->transport, "Bluetooth");
        EXPECT_STREQ(node->serial, "a4:53:85:11:22:33") << "its own address";
        EXPECT_STREQ(node->manufacturer, "") << "not the adapter's maker";
        EXPECT_EQ(uint32_t(node->locID), 0xF1122330u + n) << "from the address, ranked";
        places.insert(node->locID);
    }
    EXPECT_EQ(places.size(), 3u);
}

// The numbers the kernel counts up as devices come (event nodes, HID
// devices) do not move a device's place.
TEST_F(ControllerIdentity, PlacesDoNotDependOnWhatCameBefore)
{
    const Device& touchpad = DeviceLabelled("Touchpad");
    std::vector<SInt32> alone, after;
    for (std::vector<SInt32>* places : {&alone, &after}) {
        Testbed bed;
        std::vector<Device> devices;
        if (places == &after)
            devices.push_back(DeviceLabelled("DualShock4Usb"));
        devices.push_back(touchpad);
        for (const Device& device : devices)
            bed.Add(device);
        Build(false);
        for (size_t n = 0; n < touchpad.nodes.size(); ++n)
            places->push_back(DeviceOf(devices, devices.size() - 1, n)->locID);
        HIDReleaseDeviceList();
    }
    EXPECT_EQ(alone, after);
    EXPECT_NE(alone[0], alone[1]) << "the touchpad's mouse node and the touchpad itself";
    EXPECT_EQ(uint32_t(alone[0]) >> 28, 0xEu);
}

TEST_F(ControllerIdentity, SwitchesAndSystemKeysAreNamedForWhatTheyAre)
{
    Testbed bed;
    // clang-format off
    const Device lid{"Lid", controllers::Bus::kHost, 0, 5, 0, "", "", "", "/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0C0D:00",
                     false, {Node{"Lid Switch", {}, {}, {}, {}, {}, {SW_LID}, {"ID_INPUT_SWITCH"}}}};
    // clang-format on
    bed.Add(lid);
    Build(false);
    ASSERT_EQ(HIDCountDevices(), 1u);
    EXPECT_EQ(HIDGetFirstDevice()->usagePage, 1);
    EXPECT_EQ(HIDGetFirstDevice()->usage, 0x80) << "System Control";
    EXPECT_STREQ(HIDGetFirstDevice()->pListElements->name, "System Control") << "its collection says what it is";
    EXPECT_FALSE(HIDHaveConfigurableElement());
}

// Two of the same pad at once: each binding comes back to its own pad.
TEST_F(ControllerIdentity, IdenticalPadsKeepTheirOwnBindings)
{
    struct Pair {
        const char* label;
        std::string first, second;
    };
    for (const Pair& pair :
         {Pair{"Xbox360Wired", "1-1", "1-2"}, Pair{"DualShock4Bluetooth", "a4:53:85:11:22:33", "a4:53:85:44:55:66"}}) {
        SCOPED_TRACE(pair.label);
        const controllers::Controller& controller = ControllerLabelled(pair.label);
        const std::vector<Device> devices{controllers::At(controller.device, pair.first),
                                          controllers::At(controller.device, pair.second)};
        for (bool desktop : {false, true}) {
            Testbed bed;
            bed.Add(devices[0]);
            const std::vector<std::string> secondNodes = bed.Add(devices[1]);
            bed.SetDesktopUser(desktop);
            Build(desktop);
            pRecDevice second = DeviceOf(devices, 1, controller.steer.node);
            EXPECT_NE(second->locID, DeviceOf(devices, 0, controller.steer.node)->locID);
            bed.Play(secondNodes, {{controller.steer, 0.15}});
            pRecDevice bound = nullptr;
            pRecElement element = nullptr;
            ASSERT_TRUE(HIDConfigureAction(&bound, &element, 5.0f));
            ASSERT_EQ(bound, second);
            const SInt32 place = bound->locID;
            EXPECT_EQ(SaveRebuildRestore(bound, element, desktop).locID, place) << "not the first pad";
            HIDReleaseDeviceList();
        }
    }
}

// Plugged into another port, the pad is found by vendor and product: the pad
// itself, not the touchpad or the lizard-mode keyboard registered before it.
TEST_F(ControllerIdentity, APadMovedToAnotherPortIsFoundByModel)
{
    struct Moved {
        const char* label;
        std::string first, second; // ports, or for Bluetooth two pads' addresses
    };
    for (const Moved& moved : {Moved{"DualShock4Usb", "1-1", "3-2"}, Moved{"SteamControllerDongle", "1-1", "3-2"},
                               Moved{"WiiRemoteNunchuk", "00:1f:32:11:22:33", "00:1f:32:77:88:99"}}) {
        SCOPED_TRACE(moved.label);
        const controllers::Controller& controller = ControllerLabelled(moved.label);
        for (bool desktop : {false, true}) {
            Binding before;
            std::FILE* file = std::tmpfile();
            ASSERT_NE(file, nullptr);
            {
                Testbed bed;
                const std::vector<std::string> nodes = bed.Add(controllers::At(controller.device, moved.first));
                bed.SetDesktopUser(desktop);
                Build(desktop);
                bed.Play(nodes, {{controller.steer, 0.15}});
                pRecDevice bound = nullptr;
                pRecElement element = nullptr;
                ASSERT_TRUE(HIDConfigureAction(&bound, &element, 5.0f));
                before = {bound->product, bound->locID, element->cookie};
                HIDSaveElementConfig(file, bound, element, 1);
                HIDReleaseDeviceList();
            }
            Testbed other;
            other.Add(controllers::At(controller.device, moved.second));
            other.SetDesktopUser(desktop);
            Build(desktop);
            std::rewind(file);
            pRecDevice found = nullptr;
            pRecElement element = nullptr;
            HIDRestoreElementConfig(file, &found, &element);
            std::fclose(file);
            ASSERT_NE(found, nullptr);
            ASSERT_NE(element, nullptr);
            EXPECT_NE(found->locID, before.locID);
            EXPECT_EQ(found->product, before.product);
            EXPECT_EQ(element->cookie, before.cookie);
            HIDReleaseDeviceList();
        }
    }
}

class BindingByMovement : public Controllers {
protected:
    // Plays the move 0.4 s after the wait for movement begins: what is taken,
    // after nothing was taken at rest.
    static std::pair<pRecDevice, pRecElement> TakenAfterARest(Testbed& bed, const std::vector<std::string>& nodes,
                                                              const Move& move)
    {
        bed.Play(nodes, {{move, 0.4}});
        pRecDevice bound = nullptr;
        pRecElement element = nullptr;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(HIDConfigureAction(&bound, &element, 5.0f));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300)) << "nothing taken at rest";
        return {bound, element};
    }
};

// A DualShock 4 picked up while Cross is pressed: its motion sensors move
// first, yet Cross is what gets bound.
TEST_F(BindingByMovement, MotionSensorsAreListedButNeverTaken)
{
    const Device& ds4 = DeviceLabelled("DualShock4Usb");
    Testbed bed;
    const std::vector<std::string> nodes = bed.Add(ds4);
    Build(false);
    bed.Play(nodes, {{{1, EV_ABS, ABS_Z, 30000}, 0.2},
                     {{1, EV_ABS, ABS_RX, -2000000}, 0.2},
                     {{2, EV_KEY, BTN_SOUTH, 1}, 0.5}});
    pRecDevice bound = nullptr;
    pRecElement element = nullptr;
    ASSERT_TRUE(HIDConfigureAction(&bound, &element, 5.0f));
    EXPECT_EQ(bound, DeviceOf({ds4}, 0, 2));
    EXPECT_STREQ(element->name, "South Button (A, Cross)");
    pRecDevice motion = DeviceOf({ds4}, 0, 1);
    EXPECT_EQ(HIDGetElementValue(motion, ElementWithUsage(motion, 1, 0x32)), 30000) << "listed and read all the same";
}

// A Wii Remote's accelerometer has no accelerometer property and udev calls
// it a joystick; tilting the remote before pressing A still binds A, and
// tilting the Nunchuk before moving its stick binds the stick.
TEST_F(BindingByMovement, AWiiRemotesAccelerometerIsAMotionSensor)
{
    const Device& wii = DeviceLabelled("WiiRemoteNunchuk");
    Testbed bed;
    const std::vector<std::string> nodes = bed.Add(wii);
    Build(false);
    pRecDevice accelerometer = DeviceOf({wii}, 0, 0);
    EXPECT_EQ(accelerometer->usagePage, kHIDPage_Sensor);
    EXPECT_STREQ(accelerometer->product, "Nintendo Wii Remote Accelerometer");
    bed.Play(nodes, {{{0, EV_ABS, ABS_RX, 400}, 0.2}, {{2, EV_KEY, BTN_A, 1}, 0.5}});
    pRecDevice bound = nullptr;
    pRecElement element = nullptr;
    ASSERT_TRUE(HIDConfigureAction(&bound, &element, 5.0f));
    EXPECT_EQ(bound, DeviceOf({wii}, 0, 2));
    EXPECT_STREQ(element->name, "South Button (A, Cross)");
    EXPECT_EQ(HIDGetElementValue(accelerometer, ElementWithUsage(accelerometer, kHIDPage_Sensor, 0x453)), 400);
    HIDReleaseDeviceList();

    // The Nunchuk's accelerometer shares its node with the stick and C and Z:
    // tilting it on the way to the stick does not take it either.
    Testbed second;
    const std::vector<std::string> secondNodes = second.Add(wii);
    Build(false);
    pRecDevice nunchuk = DeviceOf({wii}, 0, 3);
    pRecElement tilt = ElementWithUsage(nunchuk, kHIDPage_Sensor, 0x453);
    ASSERT_NE(tilt, nullptr) << "listed as what it is";
    EXPECT_STREQ(tilt->name, "Motion X");
    second.Play(secondNodes, {{{3, EV_ABS, ABS_RX, -450}, 0.2}, {{3, EV_ABS, ABS_HAT0X, 100}, 0.5}});
    ASSERT_TRUE(HIDConfigureAction(&bound, &element, 5.0f));
    EXPECT_EQ(bound, nunchuk);
    EXPECT_STREQ(element->name, "Hat 0 X-Axis") << "the stick";
    EXPECT_EQ(HIDGetElementValue(nunchuk, tilt), -450);
}

// A G29's pedals rest at 255 and go down when pressed: nothing is taken at
// rest, the brake when it is pressed.
TEST_F(BindingByMovement, PedalsRestingAtTheTopAreTakenWhenPressed)
{
    const Device& wheel = DeviceLabelled("RacingWheel");
    Testbed bed;
    const std::vector<std::string> nodes = bed.Add(wheel);
    Build(false);
    const auto [bound, element] = TakenAfterARest(bed, nodes, {0, EV_ABS, ABS_RZ, 40});
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->usagePage, 1);
    EXPECT_EQ(element->usage, 0x35) << "the brake";
    EXPECT_EQ(HIDGetElementValue(bound, element), 40);
}

// An axis whose range is reversed or empty would count as moved at rest.
TEST_F(BindingByMovement, AxesWithAnEmptyOrReversedRangeAreNeverTaken)
{
    // clang-format off
    const Device odd{"Odd", controllers::Bus::kUSB, 0x1234, 0x0001, 1, "Odd", "Odd Stick", "", "1-6", true,
                     {Node{"Odd Stick", {{ABS_X, 255, 0, 0}, {ABS_Y, 0, 0, 0}}, {BTN_TRIGGER}, {}, {}, {}, {},
                           {"ID_INPUT_JOYSTICK"}}}};
    // clang-format on
    Testbed bed;
    const std::vector<std::string> nodes = bed.Add(odd);
    Build(false);
    EXPECT_TRUE(HIDHaveConfigurableElement()) << "the trigger";
    const pRecElement element = TakenAfterARest(bed, nodes, {0, EV_KEY, BTN_TRIGGER, 1}).second;
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->usagePage, 9);
    HIDReleaseDeviceList();

    // clang-format off
    const Device axesOnly{"AxesOnly", controllers::Bus::kUSB, 0x1234, 0x0002, 1, "Odd", "Odd Dial", "", "1-7", true,
                          {Node{"Odd Dial", {{ABS_X, 255, 0, 0}}, {}, {}, {}, {}, {}, {"ID_INPUT_JOYSTICK"}}}};
    // clang-format on
    Testbed second;
    second.Add(axesOnly);
    Build(false);
    EXPECT_FALSE(HIDHaveConfigurableElement());
}

class ControllerElements : public Controllers {
protected:
    // Builds the list with the device alone (as root) and gives its node.
    pRecDevice Only(const char* label, size_t node)
    {
        HIDReleaseDeviceList();
        bed_.reset(); // one testbed at a time
        bed_ = std::make_unique<Testbed>();
        const Device& device = DeviceLabelled(label);
        bed_->Add(device);
        Build(false);
        return DeviceOf({device}, 0, node);
    }
    std::unique_ptr<Testbed> bed_;
};

TEST_F(ControllerElements, TriggersOnHatAxesPaddlesGasAndBrake)
{
    pRecDevice steam = Only("SteamControllerDongle", 1);
    for (const char* name : {"Hat 2 X-Axis", "Hat 2 Y-Axis"}) {
        pRecElement trigger = FirstInput(steam, [&](pRecElement e) { return std::string(e->name) == name; });
        ASSERT_NE(trigger, nullptr) << name;
        EXPECT_EQ(trigger->min, 0);
        EXPECT_EQ(trigger->max, 255);
    }
    EXPECT_EQ(ElementWithUsage(steam, 1, 0x39), nullptr) << "the left pad's hat pair is two axes, not a hat";
    pRecElement paddle = FirstInput(steam, [&](pRecElement e) {
        char text[256];
        GetDeviceElementNameString(steam, e, text);
        return std::string(text) == "Wireless Steam Controller: Gear Up (Back Paddle)";
    });
    EXPECT_NE(paddle, nullptr) << "named as the configuration window shows it";

    pRecDevice xbox = Only("XboxOneSBluetooth", 0);
    pRecElement gas = ElementWithUsage(xbox, 0x02, 0xC4), brake = ElementWithUsage(xbox, 0x02, 0xC5);
    ASSERT_NE(gas, nullptr);
    ASSERT_NE(brake, nullptr);
    EXPECT_EQ(gas->max, 1023);
    EXPECT_STREQ(brake->name, "Brake");
    pRecElement home = ElementWithUsage(xbox, 0x0C, 0x223);
    ASSERT_NE(home, nullptr) << "the Xbox button, KEY_HOMEPAGE";
    EXPECT_STREQ(home->name, "Home Page");

    // A G29's pedals: clutch, gas and brake on Y, Z and RZ, at rest at the top.
    pRecDevice wheel = Only("RacingWheel", 0);
    for (int32_t usage : {0x31, 0x32, 0x35}) {
        pRecElement pedal = ElementWithUsage(wheel, 1, usage);
        ASSERT_NE(pedal, nullptr) << usage;
        EXPECT_EQ(pedal->max, 255);
        EXPECT_EQ(HIDGetElementValue(wheel, pedal), 255) << usage;
    }
    EXPECT_EQ(wheel->buttons, 25);
}

TEST_F(ControllerElements, WiiExtensionsSticksAreAxesAndItsButtonsAreAllThere)
{
    pRecDevice nunchuk = Only("WiiRemoteNunchuk", 3);
    EXPECT_EQ(ElementWithUsage(nunchuk, 1, 0x39), nullptr) << "-120..120 is a stick, not a hat";
    EXPECT_EQ(HIDGetElementValue(nunchuk, ElementWithUsage(nunchuk, 0xFF00, ABS_HAT0X)), 0);
    pRecDevice remote = DeviceOf({DeviceLabelled("WiiRemoteNunchuk")}, 0, 2);
    EXPECT_NE(ElementWithUsage(remote, 9, 1), nullptr) << "BTN_1";
    pRecElement plus = ElementWithUsage(remote, 0x0C, 0x1A3);
    ASSERT_NE(plus, nullptr) << "KEY_NEXT";
    EXPECT_STREQ(plus->name, "Next (+)");

    pRecDevice classic = Only("WiiRemoteClassic", 3);
    for (unsigned int code = ABS_HAT1X; code <= ABS_HAT3Y; ++code)
        EXPECT_NE(ElementWithUsage(classic, 0xFF00, int32_t(code)), nullptr) << code;
}

TEST_F(ControllerElements, AFlightStickHasAllItsButtonsAndItsMiscAxes)
{
    pRecDevice stick = Only("FlightStick", 0);
    EXPECT_EQ(stick->buttons, 39);
    EXPECT_NE(ElementWithUsage(stick, 9, 39), nullptr);
    pRecElement misc = ElementWithUsage(stick, 0xFF00, ABS_MISC);
    ASSERT_NE(misc, nullptr);
    EXPECT_STREQ(misc->name, "Misc Axis");
    EXPECT_NE(ElementWithUsage(stick, 0xFF00, ABS_MISC + 1), nullptr);
    EXPECT_NE(ElementWithUsage(stick, 1, 0x36), nullptr) << "the throttle slider";
}

TEST_F(ControllerElements, TouchpadsShowNoMultitouchSlots)
{
    pRecDevice touchpad = Only("DualShock4Usb", 0);
    EXPECT_EQ(HIDCountDeviceElements(touchpad, kHIDElementTypeInput), 6u) << "X, Y and four buttons";
    EXPECT_EQ(ElementWithUsage(touchpad, 0xFF00, ABS_MT_POSITION_X), nullptr);
}

TEST_F(ControllerElements, EveryKeyHasAUsageOnTheKeyboardOrConsumerPage)
{
    pRecDevice keyboard = Only("UsbKeyboardWithMediaKeys", 0);
    struct Expected {
        int32_t page, usage;
        const char* what;
    };
    for (const Expected& key :
         {Expected{7, 0x04, "a"},        Expected{7, 0x87, "Ro"},           Expected{7, 0x88, "Katakana/Hiragana"},
          Expected{7, 0x89, "Yen"},      Expected{7, 0x90, "Hangeul"},      Expected{7, 0x91, "Hanja"},
          Expected{7, 0x78, "Stop"},     Expected{7, 0x79, "Again"},        Expected{7, 0x7A, "Undo"},
          Expected{7, 0x7B, "Cut"},      Expected{7, 0x7C, "Copy"},         Expected{7, 0x7D, "Paste"},
          Expected{7, 0x7E, "Find"},     Expected{7, 0x75, "Help"},         Expected{7, 0xB6, "Keypad ("},
          Expected{7, 0xB7, "Keypad )"}, Expected{7, 0x73, "F24"},          Expected{7, 0xE7, "Right Super"},
          Expected{0x0C, 0xE2, "Mute"},  Expected{0x0C, 0xE9, "Volume Up"}, Expected{0x0C, 0xEA, "Volume Down"}})
        EXPECT_NE(ElementWithUsage(keyboard, key.page, key.usage), nullptr) << key.what;
    for (int32_t legacy = 0x7F; legacy <= 0x81; ++legacy)
        EXPECT_EQ(ElementWithUsage(keyboard, 7, legacy), nullptr) << "volume keys are consumer keys";

    pRecDevice media = DeviceOf({DeviceLabelled("UsbKeyboardWithMediaKeys")}, 0, 1);
    EXPECT_EQ(media->usagePage, 0x0C) << "a consumer control";
    pRecElement calculator = ElementWithUsage(media, 0x0C, 0x192);
    ASSERT_NE(calculator, nullptr);
    EXPECT_STREQ(calculator->name, "Calculator");
    pRecElement unknown = ElementWithUsage(media, 0xFF01, KEY_UNKNOWN);
    ASSERT_NE(unknown, nullptr) << "a key without a HID usage is still listed";
    EXPECT_STREQ(unknown->name, "Unknown");
    EXPECT_NE(ElementWithUsage(media, 0x0C, 0xE0), nullptr) << "the volume dial";
}

TEST_F(ControllerElements, TheDeviceListCommandTellsWhatEachDeviceAndControlIs)
{
    Only("DualShock4Usb", 0);
    HIDReleaseDeviceList();
    const std::string output = ListDevicesOutput();
    for (const char* text :
         {"Device 0: Sony Interactive Entertainment Wireless Controller\n", "GamePad", "Touch Pad", "Motion Sensor",
          "never bound by moving a control", "South Button (A, Cross)", "location 0x01100032", "Left Mouse Button"})
        EXPECT_NE(output.find(text), std::string::npos) << text << "\n" << output;
}

} // namespace
