// The Linux device registry against devices mocked with umockdev: a USB
// game pad, a keyboard and a node without permission. Runs under
// umockdev-wrapper, which routes /sys, /dev and the ioctls into the testbed.
#include <gtest/gtest.h>

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <umockdev.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "HID_Devices_External.h"
#include "List_Devices_Output.h"
#include "Umockdev_Fixture.h"

namespace {

pRecDevice DeviceNamed(const char* product)
{
    for (pRecDevice d = HIDGetFirstDevice(); d; d = HIDGetNextDevice(d))
        if (std::string(d->product) == product)
            return d;
    return nullptr;
}

pRecElement ElementWithUsage(pRecDevice device, int32_t page, int32_t usage)
{
    for (pRecElement e = HIDGetFirstDeviceElement(device, kHIDElementTypeAll); e;
         e = HIDGetNextDeviceElement(e, kHIDElementTypeAll))
        if (e->usagePage == page && e->usage == usage)
            return e;
    return nullptr;
}

int OpenUp(const char* path, const struct stat* info, int type, FTW*)
{
    chmod(path, type == FTW_D ? 0755 : (info->st_mode & 0777) | 0666);
    return 0;
}

class LinuxDevices : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartTestbed(&testbed));
        gchar* text = nullptr;
        ASSERT_TRUE(g_file_get_contents((kUmockdevData + "devices.umockdev").c_str(), &text, nullptr, nullptr));
        ASSERT_NO_FATAL_FAILURE(AddDevices(testbed, text));
        g_free(text);
        ASSERT_NO_FATAL_FAILURE(LoadIoctl(testbed, "/dev/input/event3", "gamepad.ioctl"));
        ASSERT_NO_FATAL_FAILURE(LoadIoctl(testbed, "/dev/input/event1", "keyboard.ioctl"));
        // The testbed may be read by everyone, the stick's node by no one
        // (the list is built as an unprivileged user when the tests run as root).
        gchar* root = umockdev_testbed_get_root_dir(testbed);
        nftw(root, OpenUp, 16, FTW_PHYS);
        locked = std::string(root) + "/dev/input/event9";
        g_free(root);
        chmod(locked.c_str(), 0);
    }
    void TearDown() override
    {
        HIDReleaseDeviceList();
        if (testbed)
            g_object_unref(testbed);
    }
    // Builds the list as a user without rights to the locked node.
    void Build()
    {
        const uid_t euid = geteuid();
        if (euid == 0) {
            ASSERT_EQ(seteuid(65534), 0);
        }
        const bool built = HIDBuildDeviceList(0, 0);
        if (euid == 0) {
            ASSERT_EQ(seteuid(0), 0);
        }
        ASSERT_TRUE(built);
    }
    UMockdevTestbed* testbed = nullptr;
    std::string locked;
};

TEST_F(LinuxDevices, EveryEventNodeIsADeviceGameControllersFirstInNodeOrder)
{
    Build();
    ASSERT_EQ(HIDCountDevices(), 3u);
    EXPECT_STREQ(HIDGetFirstDevice()->product, "Test Gamepad");
    EXPECT_STREQ(HIDGetNextDevice(HIDGetFirstDevice())->product, "Locked Stick");
    EXPECT_STREQ(HIDGetNextDevice(HIDGetNextDevice(HIDGetFirstDevice()))->product, "Test Keyboard");
}

TEST_F(LinuxDevices, TheGamePadHasItsIdentityAxesHatAndButtons)
{
    Build();
    pRecDevice pad = DeviceNamed("Test Gamepad");
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->vendorID, 0x046d);
    EXPECT_EQ(pad->productID, 0xc21d);
    EXPECT_EQ(pad->version, 0x0110);
    EXPECT_STREQ(pad->transport, "USB");
    EXPECT_STREQ(pad->manufacturer, "Logitech");
    EXPECT_STREQ(pad->serial, "A1B2C3");
    EXPECT_EQ(pad->locID, 0x01140000) << "bus 1, ports 1 and 4";
    EXPECT_EQ(pad->usagePage, 1);
    EXPECT_EQ(pad->usage, 5) << "a game pad: it has BTN_GAMEPAD";
    EXPECT_NE(pad->interface, nullptr);
    EXPECT_EQ(pad->axis, 4);
    EXPECT_EQ(pad->hats, 1);
    EXPECT_EQ(pad->buttons, 8);
    EXPECT_EQ(pad->collections, 1);
    EXPECT_EQ(pad->totalElements, 14);

    // One application collection, cookies in tree order.
    pRecElement collection = pad->pListElements;
    ASSERT_NE(collection, nullptr);
    EXPECT_EQ(collection->type, kIOHIDElementTypeCollection);
    EXPECT_EQ(collection->cookie, 1u);
    EXPECT_EQ(collection->pSibling, nullptr);
    IOHIDElementCookie expected = 1;
    for (pRecElement e = HIDGetFirstDeviceElement(pad, kHIDElementTypeAll); e;
         e = HIDGetNextDeviceElement(e, kHIDElementTypeAll))
        EXPECT_EQ(e->cookie, expected++);
    pRecElement x = ElementWithUsage(pad, 1, 0x30);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->min, 0);
    EXPECT_EQ(x->max, 255);
    EXPECT_STREQ(x->name, "X-Axis");
    pRecElement rz = ElementWithUsage(pad, 1, 0x35);
    ASSERT_NE(rz, nullptr);
    pRecElement hat = ElementWithUsage(pad, 1, 0x39);
    ASSERT_NE(hat, nullptr);
    EXPECT_EQ(hat->max, 7);
    EXPECT_TRUE(hat->nullState);
    EXPECT_NE(ElementWithUsage(pad, 9, 8), nullptr) << "buttons numbered from 1 in code order";
    EXPECT_EQ(ElementWithUsage(pad, 9, 9), nullptr);
}

TEST_F(LinuxDevices, ValuesFollowTheEvents)
{
    Build();
    pRecDevice pad = DeviceNamed("Test Gamepad");
    ASSERT_NE(pad, nullptr);
    pRecElement x = ElementWithUsage(pad, 1, 0x30);
    pRecElement south = ElementWithUsage(pad, 9, 1);
    pRecElement hat = ElementWithUsage(pad, 1, 0x39);
    pRecElement y = ElementWithUsage(pad, 1, 0x31);
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(HIDGetElementValue(pad, x), 128) << "the axis at rest";
    EXPECT_EQ(HIDGetElementValue(pad, y), 128);
    EXPECT_EQ(HIDGetElementValue(pad, south), 0);
    EXPECT_EQ(HIDGetElementValue(pad, hat), 8) << "a centred hat reads its null value";

    GError* error = nullptr;
    ASSERT_TRUE(umockdev_testbed_load_evemu_events(testbed, "/dev/input/event3",
                                                   (kUmockdevData + "gamepad.evemu").c_str(), &error))
        << error->message;
    // The replay writes one event at a time: wait for the last one, the Y
    // axis, and every earlier event has been read too.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (HIDGetElementValue(pad, y) != 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(HIDGetElementValue(pad, y), 3) << "the replay's last event";
    EXPECT_EQ(HIDGetElementValue(pad, x), 250);
    EXPECT_EQ(HIDGetElementValue(pad, south), 1);
    EXPECT_EQ(HIDGetElementValue(pad, hat), 1) << "up and right";
}

TEST_F(LinuxDevices, TheKeyboardHasKeyboardUsages)
{
    Build();
    pRecDevice keyboard = DeviceNamed("Test Keyboard");
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(keyboard->usagePage, 1);
    EXPECT_EQ(keyboard->usage, 6);
    EXPECT_STREQ(keyboard->transport, "PS/2");
    EXPECT_EQ(uint32_t(keyboard->locID) >> 28, 0xEu) << "not on USB: placed by its parent's path";
    EXPECT_NE(ElementWithUsage(keyboard, 7, 0x04), nullptr) << "a";
    EXPECT_NE(ElementWithUsage(keyboard, 7, 0x29), nullptr) << "Escape";
    EXPECT_NE(ElementWithUsage(keyboard, 7, 0x52), nullptr) << "Up";
    EXPECT_EQ(ElementWithUsage(keyboard, 9, 1), nullptr) << "no buttons";
}

TEST_F(LinuxDevices, ANodeWithoutPermissionIsListedByItsIdentity)
{
    Build();
    pRecDevice stick = DeviceNamed("Locked Stick");
    ASSERT_NE(stick, nullptr);
    EXPECT_EQ(stick->interface, nullptr);
    EXPECT_EQ(stick->vendorID, 0x1234);
    EXPECT_EQ(stick->productID, 0x5678);
    EXPECT_STREQ(stick->transport, "Virtual");
    EXPECT_EQ(stick->usage, 4) << "a joystick";
    EXPECT_EQ(stick->pListElements, nullptr);
}

TEST_F(LinuxDevices, TheDeviceListCommandPrintsThePad)
{
    const std::string output = ListDevicesOutput();
    EXPECT_NE(output.find("Test Gamepad"), std::string::npos) << output;
    EXPECT_NE(output.find("vendor 0x046d, product 0xc21d, location 0x01140000"), std::string::npos) << output;
    EXPECT_NE(output.find("X-Axis  [page 0x01 usage 0x30"), std::string::npos) << output;
    EXPECT_NE(output.find("Hatswitch"), std::string::npos) << output;
    EXPECT_NE(output.find("Button #1"), std::string::npos) << output;
}

} // namespace

#include "Config_File.h"
#include "HID_Config_Utilities.h"
#include "Input_Actions.h"

namespace {

// Moving the mocked pad's south button while the configuration waits binds
// it to thrust, and a new start finds it again through the saved file.
TEST_F(LinuxDevices, AMockedPadBoundToThrustIsFoundAgainAfterARestart)
{
    Build();
    for (actionRec& action : actionArray)
        action = actionRec{};
    // The stick moves half a second after the wait began.
    const std::string events = std::string(g_get_tmp_dir()) + "/stardrift-late-" + std::to_string(getpid()) + ".evemu";
    std::FILE* file = std::fopen(events.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("# EVEMU 1.3\nE: 0.000000 0000 0000 0\nE: 0.500000 0003 0000 250\nE: 0.500000 0000 0000 0\n", file);
    std::fclose(file);
    GError* error = nullptr;
    ASSERT_TRUE(umockdev_testbed_load_evemu_events(testbed, "/dev/input/event3", events.c_str(), &error))
        << error->message;
    pRecDevice device = nullptr;
    pRecElement element = nullptr;
    ASSERT_TRUE(HIDConfigureAction(&device, &element, 5.0f));
    unlink(events.c_str());
    EXPECT_STREQ(device->product, "Test Gamepad");
    EXPECT_EQ(element->usagePage, 1) << "the X axis moves first in element order";
    const IOHIDElementCookie cookie = element->cookie;
    EXPECT_EQ(cookie, 2u);
    actionArray[kActionThrust].pDevice = device;
    actionArray[kActionThrust].pElement = element;

    const std::string folder = std::string(g_get_tmp_dir()) + "/stardrift-linux-" + std::to_string(getpid());
    ASSERT_EQ(g_mkdir_with_parents(folder.c_str(), 0700), 0);
    const std::string previous = g_get_current_dir();
    ASSERT_EQ(chdir(folder.c_str()), 0);
    EXPECT_EQ(SaveConfig(), noErr);

    HIDReleaseDeviceList();
    actionArray[kActionThrust] = actionRec{};
    Build();
    EXPECT_EQ(LoadConfig(), noErr);
    ASSERT_NE(actionArray[kActionThrust].pDevice, nullptr);
    EXPECT_STREQ(actionArray[kActionThrust].pDevice->product, "Test Gamepad");
    EXPECT_EQ(actionArray[kActionThrust].pElement->cookie, cookie);
    EXPECT_EQ(actionArray[kActionThrust].pElement->userMax, 255);
    unlink(kConfigFileName);
    EXPECT_EQ(chdir(previous.c_str()), 0);
    rmdir(folder.c_str());
}

} // namespace
