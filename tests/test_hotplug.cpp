// Game pads plugged in and pulled out while the shell runs, mocked with
// umockdev: the testbed adds and removes the devices and sends their uevents
// while the event loop runs. Runs under umockdev-wrapper.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include <sys/wait.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "App_Shell.h"
#include "Config_File.h"
#include "Config_Window.h"
#include "HID_Devices_External.h"
#include "Host_App_Seams.h"
#include "Host_Files.h"
#include "Input_Actions.h"
#include "Input_Fixture.h"
#include "Shell_Command.h"
#include "Test_Support.h"
#include "Umockdev_Fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

// The paragraphs of the mocked devices' description whose path has the
// given part, with every text in swaps replaced: the same pad can so be
// plugged into another port.
std::string Devices(const std::string& pathPart, const std::vector<std::pair<std::string, std::string>>& swaps = {})
{
    std::ifstream in(kUmockdevData + "devices.umockdev");
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string chosen;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find("\n\n", start);
        end = end == std::string::npos ? all.size() : end + 2;
        std::string paragraph = all.substr(start, end - start);
        const std::string path = paragraph.substr(0, paragraph.find('\n'));
        while (!paragraph.empty() && paragraph.back() == '\n')
            paragraph.pop_back();
        if (path.find(pathPart) != std::string::npos)
            chosen += paragraph + "\n\n";
        start = end;
    }
    for (const auto& [from, to] : swaps)
        for (size_t at = chosen.find(from); at != std::string::npos; at = chosen.find(from, at + to.size()))
            chosen.replace(at, from.size(), to);
    return chosen;
}

// A pad plugged into a USB port ("1-1.4"): its description, its event node
// and its devices in /sys from the node up.
struct Port {
    std::string description;
    std::string node;                 // /dev/input/eventN
    std::vector<std::string> devices; // the node, its input device, the USB interface and device
};

// Every plugging gets input and event numbers of its own, as the kernel
// would give a pad plugged in again, and the testbed cannot give a node
// name it once had to another device.
Port PadIn(const std::string& usbPort, int plugging)
{
    const std::string input = "input" + std::to_string(20 + plugging), event = "event" + std::to_string(20 + plugging);
    const std::string usb = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/" + usbPort;
    const std::string interface = usb + "/" + usbPort + ":1.0";
    Port port{Devices("/1-1.4", {{"1-1.4", usbPort},
                                 {"input3", input},
                                 {"event3", event},
                                 {"001/005", "001/" + std::to_string(100 + plugging)}}),
              "/dev/input/" + event,
              {interface + "/input/" + input + "/" + event, interface + "/input/" + input, interface, usb}};
    return port;
}

// A bindings file of an earlier session: thrust on the pad's trigger, in
// port four, nothing else bound.
void WriteThrustBinding()
{
    recSaveHID record{};
    record.actionCookie = kActionThrust;
    record.vendorID = 0x046d;
    record.productID = 0xc21d;
    record.locID = 0x01140000;
    record.usagePage = 1;
    record.usage = 5;
    record.usagePageE = 1;
    record.usageE = 0x32;
    record.cookie = 4;
    unsigned char bytes[kConfigFileBytes] = {};
    for (int32_t a = 0; a < kNumActions; ++a) {
        recSaveHID unbound{};
        unbound.actionCookie = a;
        HIDPackSaveRecord(a == kActionThrust ? record : unbound, bytes + 30 + 36 * a);
    }
    std::ofstream(kConfigFileName, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

bool ChooseDemo(std::string* path)
{
    *path = STARDRIFT_SOURCE_DIR "/data/demo/demo.sprites";
    return true;
}

// Events written to a file for the testbed to play on a node.
std::string EventFile(const std::string& name, const std::string& lines)
{
    const std::string path =
        std::string(g_get_tmp_dir()) + "/stardrift-" + name + "-" + std::to_string(getpid()) + ".evemu";
    std::ofstream(path) << "# EVEMU 1.3\n" << lines;
    return path;
}

pRecDevice DeviceNamed(const char* product)
{
    for (pRecDevice d = HIDGetFirstDevice(); d; d = HIDGetNextDevice(d))
        if (std::string(d->product) == product)
            return d;
    return nullptr;
}

int CountNamed(const char* product)
{
    int count = 0;
    for (pRecDevice d = HIDGetFirstDevice(); d; d = HIDGetNextDevice(d))
        count += std::string(d->product) == product;
    return count;
}

bool DeviceModeEnabled()
{
    const ControlID id{FourCC("ZaVo"), 1};
    ControlRef control = nullptr;
    return GetControlByID(gConfigWindow, &id, &control) == noErr && FixtureControlEnabled(control);
}

// Runs the event loop until the condition holds, for at most five seconds.
bool Spin(const std::function<bool()>& condition)
{
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (Clock::now() > end)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

SInt32 Thrust()
{
    GetInput();
    return actionArray[kActionThrust].value;
}

// The shell on the demo world, in a folder of its own (it loads and saves
// "ZV config" there), with its configuration window open, over a testbed
// that holds a keyboard and no pad.
class HotPlug : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartTestbed(&testbed));
        ASSERT_NO_FATAL_FAILURE(AddDevices(testbed, Devices("/serio0/").c_str()));
        ASSERT_NO_FATAL_FAILURE(LoadIoctl(testbed, "/dev/input/event1", "keyboard.ioctl"));
        folder.Enter();
    }
    void Start()
    {
        HostSetFileChooser(ChooseDemo);
        ASSERT_EQ(StartApplication(), noErr);
        running = true;
        ASSERT_EQ(HostSendCommand(FourCC("conf")), noErr);
        ASSERT_NE(gConfigWindow, nullptr);
        // The windows' first drawing is done before anything is plugged in.
        const auto settled = Clock::now() + std::chrono::milliseconds(300);
        Spin([settled] { return Clock::now() > settled; });
    }
    void Stop()
    {
        if (!running)
            return;
        HostSendCommand(FourCC("quit"));
        StopApplication();
        running = false;
    }
    void TearDown() override
    {
        Stop();
        HostSetFileChooser(nullptr);
        if (testbed)
            g_object_unref(testbed);
    }
    Port Plug(const std::string& usbPort)
    {
        const Port port = PadIn(usbPort, ++pluggings);
        GError* error = nullptr;
        EXPECT_TRUE(umockdev_testbed_add_from_string(testbed, port.description.c_str(), &error))
            << (error ? error->message : "");
        EXPECT_TRUE(
            umockdev_testbed_load_ioctl(testbed, port.node.c_str(), (kUmockdevData + "gamepad.ioctl").c_str(), &error))
            << (error ? error->message : "");
        ueventSent = Clock::now();
        umockdev_testbed_uevent(testbed, port.devices.front().c_str(), "add");
        return port;
    }
    void Unplug(const Port& port)
    {
        umockdev_testbed_uevent(testbed, port.devices.front().c_str(), "remove");
        // Each device on its own: removing the USB device alone would leave
        // its children's links behind.
        for (const std::string& path : port.devices)
            umockdev_testbed_remove_device(testbed, path.c_str());
    }
    // Plays events on the pad's node.
    void Play(const Port& port, const std::string& lines)
    {
        const std::string file = EventFile("pad", lines);
        GError* error = nullptr;
        EXPECT_TRUE(umockdev_testbed_load_evemu_events(testbed, port.node.c_str(), file.c_str(), &error))
            << (error ? error->message : "");
        unlink(file.c_str());
    }
    static OSStatus Click(const char (&command)[5]) { return HostSendWindowCommand(gConfigWindow, FourCC(command)); }
    static bool ThrustBound() { return IsDeviceBound(actionArray[kActionThrust]); }

    UMockdevTestbed* testbed = nullptr;
    TemporaryFolder folder{"stardrift-hotplug"};
    bool running = false;
    int pluggings = 0;
    Clock::time_point ueventSent;
};

// Prints the time from the latest uevent of a plugging to now.
void PrintUsableAfter(Clock::time_point sent, const char* what)
{
    std::printf("[ figure   ] from the uevent to %s: %.1f ms\n", what,
                std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
}

// The whole life of a pad: plugged in after start, bound by moving its
// trigger, pulled out, plugged in again, into another port, and pulled out
// before quitting.
TEST_F(HotPlug, ABindingFollowsItsPadThroughPluggingAndQuitting)
{
    Start();
    ASSERT_EQ(DeviceNamed("Test Gamepad"), nullptr);
    ASSERT_NE(DeviceNamed("Test Keyboard"), nullptr);

    // Plugged in: the list has it as soon as the event loop runs.
    Port pad = Plug("1-1.4");
    ASSERT_TRUE(Spin([] { return DeviceNamed("Test Gamepad") != nullptr; }));
    PrintUsableAfter(ueventSent, "a new pad in the list");
    EXPECT_EQ(HIDCountDevices(), 2u);

    // Bound by movement: the trigger is pulled half a second into the wait.
    EXPECT_EQ(Click("cDev"), noErr);
    Play(pad, "E: 0.000000 0000 0000 0\nE: 0.500000 0003 0002 200\nE: 0.500000 0000 0000 0\n");
    EXPECT_EQ(Click("thrs"), noErr);
    ASSERT_TRUE(ThrustBound());
    EXPECT_STREQ(actionArray[kActionThrust].pDevice->product, "Test Gamepad");
    EXPECT_EQ(actionArray[kActionThrust].pElement->usage, 0x32) << "the Z axis, the trigger";
    const SInt32 portFour = actionArray[kActionThrust].pDevice->locID;
    const std::string boundText = ConfigText("hidc", kActionThrust + 1);
    EXPECT_EQ(boundText, "Test Gamepad: Z-Axis");

    // Pulled out: the action reads 0, its text says so, the binding stays.
    Unplug(pad);
    ASSERT_TRUE(Spin([] { return DeviceNamed("Test Gamepad") == nullptr; }));
    EXPECT_FALSE(ThrustBound());
    EXPECT_EQ(Thrust(), 0);
    EXPECT_EQ(ConfigText("hidc", kActionThrust + 1), boundText + " (not connected)");
    EXPECT_TRUE(bindingArray[kActionThrust].inForce);
    EXPECT_EQ(ConfigText("hidc", kActionXAxis + 1), "---") << "an unbound action stays unbound";

    // Plugged in again: the trigger steers at once, with no user action.
    pad = Plug("1-1.4");
    ASSERT_TRUE(Spin(ThrustBound));
    PrintUsableAfter(ueventSent, "the bound pad steering again");
    EXPECT_EQ(actionArray[kActionThrust].pDevice->locID, portFour);
    EXPECT_EQ(ConfigText("hidc", kActionThrust + 1), boundText);
    Play(pad, "E: 0.000000 0003 0002 0\nE: 0.000000 0000 0000 0\nE: 0.050000 0003 0002 255\n"
              "E: 0.050000 0000 0000 0\n");
    EXPECT_TRUE(Spin([] { return Thrust() == 255; })) << "the trigger fully pulled";
    EXPECT_EQ(actionArray[kActionThrust].pElement->userMax, 255) << "the action's range is set again";

    // Into another port: found by vendor and product, the element by cookie.
    Unplug(pad);
    ASSERT_TRUE(Spin([] { return !ThrustBound(); }));
    pad = Plug("1-1.2");
    ASSERT_TRUE(Spin(ThrustBound));
    PrintUsableAfter(ueventSent, "the bound pad steering again in another port");
    EXPECT_NE(actionArray[kActionThrust].pDevice->locID, portFour);
    EXPECT_EQ(actionArray[kActionThrust].pElement->usage, 0x32);
    Play(pad, "E: 0.000000 0003 0002 255\nE: 0.000000 0000 0000 0\n");
    EXPECT_TRUE(Spin([] { return Thrust() > 0; }));

    // Pulled out before quitting: the saved file still binds it, as bound.
    Unplug(pad);
    ASSERT_TRUE(Spin([] { return !ThrustBound(); }));
    Stop();
    std::ifstream saved(kConfigFileName, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), size_t(kConfigFileBytes));
    const auto* record = reinterpret_cast<const unsigned char*>(bytes.data()) + 30 + 36 * kActionThrust;
    const recSaveHID thrust = HIDUnpackSaveRecord(record);
    EXPECT_EQ(thrust.actionCookie, kActionThrust);
    EXPECT_EQ(thrust.vendorID, 0x046d);
    EXPECT_EQ(thrust.productID, 0xc21d);
    EXPECT_EQ(thrust.locID, portFour) << "the port it was bound in";
    EXPECT_EQ(thrust.usagePageE, 1);
    EXPECT_EQ(thrust.usageE, 0x32);
    const recSaveHID xAxis = HIDUnpackSaveRecord(reinterpret_cast<const unsigned char*>(bytes.data()) + 30);
    EXPECT_EQ(xAxis.vendorID, 0) << "unbound actions are saved unbound";
}

// Device mode can be chosen while some device can be bound, and not otherwise.
TEST_F(HotPlug, DeviceModeFollowsTheDevices)
{
    const std::string keyboard = "/sys/devices/platform/i8042/serio0/input/input1";
    Unplug({"", "/dev/input/event1", {keyboard + "/event1", keyboard}});
    Start();
    EXPECT_EQ(HIDCountDevices(), 0u);
    EXPECT_FALSE(DeviceModeEnabled());

    const Port pad = Plug("1-1.4");
    ASSERT_TRUE(Spin(DeviceModeEnabled));
    EXPECT_EQ(Click("cDev"), noErr);
    EXPECT_TRUE(GetControlRadio(gConfigWindow, 1));

    Unplug(pad);
    ASSERT_TRUE(Spin([] { return !DeviceModeEnabled(); }));
    EXPECT_TRUE(GetControlRadio(gConfigWindow, 0)) << "back in key mode";
}

// The wait of binding by movement holds the list as it was: a pad pulled out
// meanwhile reads 0 until the wait ends and only then leaves the list, after
// the element that moved was bound.
TEST_F(HotPlug, APadPulledOutDuringTheWaitLeavesWhenTheWaitEnds)
{
    Start();
    const Port pad = Plug("1-1.4");
    ASSERT_TRUE(Spin([] { return DeviceNamed("Test Gamepad") != nullptr; }));
    const std::string keys =
        EventFile("keys", "E: 0.000000 0000 0000 0\nE: 1.500000 0001 001e 1\nE: 1.500000 0000 0000 0\n");
    GError* error = nullptr;
    ASSERT_TRUE(umockdev_testbed_load_evemu_events(testbed, "/dev/input/event1", keys.c_str(), &error))
        << error->message;
    unlink(keys.c_str());

    EXPECT_EQ(Click("cDev"), noErr);
    // The pad leaves 0.3 s into the wait; the A key ends it at 1.5 s.
    Clock::time_point unplugged;
    std::thread unplug([this, &pad, &unplugged] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Unplug(pad);
        unplugged = Clock::now();
    });
    EXPECT_EQ(Click("thrs"), noErr);
    const Clock::time_point waited = Clock::now();
    unplug.join();
    ASSERT_LT(unplugged, waited) << "the pad left during the wait";
    ASSERT_TRUE(ThrustBound());
    EXPECT_STREQ(actionArray[kActionThrust].pDevice->product, "Test Keyboard");
    EXPECT_EQ(actionArray[kActionThrust].pElement->usage, 0x04) << "the A key";
    ASSERT_TRUE(Spin([] { return DeviceNamed("Test Gamepad") == nullptr; })) << "applied when the wait is over";
    EXPECT_EQ(HIDCountDevices(), 1u);
    ASSERT_TRUE(ThrustBound()) << "the key's binding is found in the new list";
    EXPECT_STREQ(actionArray[kActionThrust].pDevice->product, "Test Keyboard");
    const std::string text = ConfigText("hidc", kActionThrust + 1);
    EXPECT_EQ(text.rfind("Test Keyboard: ", 0), 0u) << text;
    EXPECT_EQ(text.find("not connected"), std::string::npos) << text;
}

// Many changes in a row: the list ends as the devices are, once each, and
// the binding holds.
TEST_F(HotPlug, ABurstOfChangesEndsWithTheDevicesAsTheyAre)
{
    Start();
    Port pad = Plug("1-1.4");
    ASSERT_TRUE(Spin([] { return DeviceNamed("Test Gamepad") != nullptr; }));
    pRecDevice device = DeviceNamed("Test Gamepad");
    pRecElement trigger = HIDGetFirstDeviceElement(device, kHIDElementTypeInput);
    while (trigger && trigger->usage != 0x32)
        trigger = HIDGetNextDeviceElement(trigger, kHIDElementTypeInput);
    ASSERT_NE(trigger, nullptr);
    BindActionElement(kActionThrust, device, trigger);
    const SInt32 portFour = device->locID;

    // Back and forth between two ports, ending in port four. The loop runs
    // every other time, as the testbed's socket holds only ten messages.
    for (int i = 0; i < 10; ++i) {
        Unplug(pad);
        pad = Plug(i % 2 ? "1-1.4" : "1-1.2");
        if (i % 2)
            QApplication::processEvents();
        GetInput(); // ticks in between read whatever list is there
    }
    ASSERT_TRUE(Spin([portFour] { return ThrustBound() && actionArray[kActionThrust].pDevice->locID == portFour; }));
    EXPECT_EQ(CountNamed("Test Gamepad"), 1);
    EXPECT_EQ(HIDCountDevices(), 2u);
    Play(pad, "E: 0.000000 0003 0002 255\nE: 0.000000 0000 0000 0\n");
    EXPECT_TRUE(Spin([] { return Thrust() == 255; }));
}

// The screen, as the user sees it.
QImage Screen()
{
    Shell("import -window root screen.png");
    return QImage("screen.png").convertToFormat(QImage::Format_RGB32);
}

// How many of every fourth pixel in each direction differ between a screen
// now and one a second later.
int ChangeInASecond()
{
    const QImage before = Screen();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const QImage after = Screen();
    int changed = 0;
    for (int y = 0; y < before.height() && y < after.height(); y += 4)
        for (int x = 0; x < before.width() && x < after.width(); x += 4)
            changed += before.pixel(x, y) != after.pixel(x, y);
    return changed;
}

// The program itself, in the testbed, on the display: a pad plugged in
// after it started steers the ship by the binding of an earlier session,
// and the binding outlives the pad's leaving before Quit.
TEST_F(HotPlug, TheProgramSteersWithAPadPluggedInAfterStart)
{
    WriteThrustBinding();
    const pid_t program = fork();
    if (program == 0) {
        execl(STARDRIFT_PROGRAM, STARDRIFT_PROGRAM, STARDRIFT_SOURCE_DIR "/data/demo/demo.sprites",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(program, 0);
    std::string window;
    for (int i = 0; i < 100 && window.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        window = Shell("xdotool search --onlyvisible --name demo.sprites 2>/dev/null | head -1");
    }
    EXPECT_FALSE(window.empty()) << "no window";
    TypeKeys("--window " + window + " ", "ctrl+g");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int idle = ChangeInASecond();

    const Port pad = Plug("1-1.4");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Play(pad, "E: 0.000000 0003 0002 255\nE: 0.000000 0000 0000 0\n");
    // Under load the program can take a while to find the pad and its
    // binding: the world is watched for up to five seconds.
    int thrusting = 0;
    for (int i = 0; i < 5 && thrusting <= std::max(1000, 4 * idle); ++i)
        thrusting = ChangeInASecond();
    EXPECT_GT(thrusting, 1000) << "the world moves past the ship";
    EXPECT_GT(thrusting, 4 * idle) << "and did not before";

    // Pulled out, then Quit: the binding is saved all the same.
    Unplug(pad);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    TypeKeys("--window " + window + " ", "ctrl+q");
    int status = -1;
    for (int i = 0; i < 50 && waitpid(program, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (status == -1) {
        kill(program, SIGKILL);
        waitpid(program, &status, 0);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "quits cleanly";
    std::ifstream saved(kConfigFileName, std::ios::binary);
    unsigned char bytes[kConfigFileBytes] = {};
    saved.read(reinterpret_cast<char*>(bytes), sizeof bytes);
    EXPECT_EQ(HIDUnpackSaveRecord(bytes + 30 + 36 * kActionThrust).vendorID, 0x046d);
    std::printf("[ figure   ] pixels changed in a second: %d before the pad, %d with its trigger pulled\n", idle,
                thrusting);
}

} // namespace
