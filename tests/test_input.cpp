// The input actions against fixture game pads and held keys, and the
// bindings' file: its bytes and restoring by device identity.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "App_Shell.h"
#include "Config_File.h"
#include "HID_Config_Utilities.h"
#include "Input_Actions.h"
#include "Input_Fixture.h"

namespace {

pRecDevice Device(int n)
{
    pRecDevice d = HIDGetFirstDevice();
    while (n-- > 0 && d)
        d = HIDGetNextDevice(d);
    return d;
}

pRecElement Element(pRecDevice device, IOHIDElementCookie cookie)
{
    for (pRecElement e = HIDGetFirstDeviceElement(device, kHIDElementTypeAll); e;
         e = HIDGetNextDeviceElement(e, kHIDElementTypeAll))
        if (e->cookie == cookie)
            return e;
    return nullptr;
}

void Bind(int32_t action, int device, IOHIDElementCookie cookie)
{
    actionArray[action].pDevice = Device(device);
    actionArray[action].pElement = Element(Device(device), cookie);
    ASSERT_NE(actionArray[action].pElement, nullptr);
    SetActionUserRange(actionArray[action].pElement, action);
}

void BindKey(int32_t action, UInt32 keyCode, char charCode, bool held)
{
    actionArray[action].keyCode = keyCode;
    actionArray[action].charCode = charCode;
    actionArray[action].keyState = held;
}

// Every test starts with nothing bound, one pad, and a folder of its own.
class Input : public testing::Test {
protected:
    void SetUp() override
    {
        for (actionRec& action : actionArray)
            action = actionRec{};
        for (actionBinding& binding : bindingArray)
            binding = actionBinding{};
        folder = std::filesystem::temp_directory_path() / ("stardrift-input-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        previous = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        InstallPads({FixturePad(0x046d, 0xc216, 0x14100000, "Dual Action")});
    }
    void TearDown() override
    {
        HIDReleaseDeviceList();
        FixtureRegistryRemove();
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
    }
    static std::vector<unsigned char> FileBytes()
    {
        std::ifstream in(kConfigFileName, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
    }
    static void WriteFile(const std::vector<unsigned char>& bytes)
    {
        std::ofstream out(kConfigFileName, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::filesystem::path folder, previous;
};

TEST_F(Input, NothingBoundGivesZeroes)
{
    SetPadValue(0, kPadX, 255);
    GetInput();
    for (const actionRec& action : actionArray)
        EXPECT_EQ(action.value, 0);
}

TEST_F(Input, RotateKeysAddToTheXAxisAndTheSumIsClamped)
{
    Bind(kActionXAxis, 0, kPadX);
    SetPadValue(0, kPadX, 200);
    BindKey(kActionRotLeft, 113, 0, true);
    BindKey(kActionRotRight, 114, 0, true);
    GetInput();
    EXPECT_EQ(actionArray[kActionXAxis].value, 72) << "both keys cancel: (200 * 254 / 255) - 127";

    actionArray[kActionRotLeft].keyState = false;
    SetPadValue(0, kPadX, 255);
    GetInput();
    EXPECT_EQ(actionArray[kActionXAxis].value, 127) << "127 + 127 is clamped";
    SetPadValue(0, kPadX, 0);
    actionArray[kActionRotRight].keyState = false;
    actionArray[kActionRotLeft].keyState = true;
    GetInput();
    EXPECT_EQ(actionArray[kActionXAxis].value, -127) << "-127 - 127 is clamped";
}

TEST_F(Input, AHeldKeyOverridesTheDeviceOfItsAction)
{
    Bind(kActionThrust, 0, kPadY);
    SetPadValue(0, kPadY, 0);
    GetInput();
    EXPECT_EQ(actionArray[kActionThrust].value, 0);
    BindKey(kActionThrust, 111, 0, true);
    GetInput();
    EXPECT_EQ(actionArray[kActionThrust].value, 255);

    BindKey(kActionXAxis, 65, ' ', true);
    GetInput();
    EXPECT_EQ(actionArray[kActionXAxis].value, 1) << "a key on the X axis gives 1";
}

TEST_F(Input, RotateActionsOnACentredAxisAndOnAButton)
{
    Bind(kActionRotLeft, 0, kPadY);
    SetPadValue(0, kPadY, 128);
    GetInput();
    EXPECT_EQ(actionArray[kActionRotLeft].value, -63) << "the centre of 0..255 scaled onto 0..-127";
    EXPECT_EQ(actionArray[kActionXAxis].value, -63);

    actionArray[kActionRotLeft] = actionRec{};
    Bind(kActionRotRight, 0, kPadButton1);
    SetPadValue(0, kPadButton1, 0);
    GetInput();
    EXPECT_EQ(actionArray[kActionXAxis].value, 0) << "a button at rest";
    SetPadValue(0, kPadButton1, 1);
    GetInput();
    EXPECT_EQ(actionArray[kActionXAxis].value, 127) << "pressed: the full amount";
}

TEST_F(Input, ZoomActionsUseRawValues)
{
    Bind(kActionZin, 0, kPadZ);
    Bind(kActionZout, 0, kPadButton2);
    SetPadValue(0, kPadZ, 700);
    SetPadValue(0, kPadButton2, 0);
    GetInput();
    EXPECT_EQ(actionArray[kActionZin].value, 700) << "not scaled onto 0..1";
    EXPECT_EQ(actionArray[kActionZout].value, 0);
    EXPECT_EQ(Element(Device(0), kPadZ)->userMax, 1);
}

TEST_F(Input, TheSavedFileOfNothingBound)
{
    ASSERT_EQ(SaveConfig(), noErr);
    const std::vector<unsigned char> bytes = FileBytes();
    ASSERT_EQ(bytes.size(), 246u);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(bytes[size_t(i)], 0) << i;
    for (int a = 0; a < 6; ++a)
        for (int i = 0; i < 36; ++i)
            EXPECT_EQ(bytes[size_t(30 + 36 * a + i)], i == 3 ? a : 0) << "record " << a << " byte " << i;
    EXPECT_EQ(std::filesystem::status(kConfigFileName).permissions() & std::filesystem::perms::owner_read,
              std::filesystem::perms::owner_read);
    for (const auto& entry : std::filesystem::directory_iterator("."))
        EXPECT_EQ(entry.path().filename(), kConfigFileName) << "no temporary file is left";
}

TEST_F(Input, KeysAndElementsSurviveASaveAndALoad)
{
    BindKey(kActionRotLeft, 0, 'q', true); // key code 0 bound through its character
    BindKey(kActionThrust, 0x01020304, 'x', false);
    Bind(kActionXAxis, 0, kPadX);
    Bind(kActionZout, 0, kPadButton2);
    ASSERT_EQ(SaveConfig(), noErr);
    const std::vector<unsigned char> bytes = FileBytes();
    EXPECT_EQ(bytes[5 + 4], 'q');
    EXPECT_EQ(bytes[15], 1);
    EXPECT_EQ(bytes[18], 4);
    EXPECT_EQ(bytes[19], 'x');
    const recSaveHID x = HIDUnpackSaveRecord(&bytes[30]);
    EXPECT_EQ(x.vendorID, 0x046d);
    EXPECT_EQ(x.productID, 0xc216);
    EXPECT_EQ(x.locID, 0x14100000);
    EXPECT_EQ(x.usagePage, 1);
    EXPECT_EQ(x.usage, 5);
    EXPECT_EQ(x.usagePageE, 1);
    EXPECT_EQ(x.usageE, 0x30);
    EXPECT_EQ(x.cookie, kPadX);

    Element(Device(0), kPadX)->userMin = 0;
    ASSERT_EQ(LoadConfig(), noErr);
    EXPECT_EQ(actionArray[kActionRotLeft].keyCode, 0u);
    EXPECT_EQ(actionArray[kActionRotLeft].charCode, 'q');
    EXPECT_FALSE(actionArray[kActionRotLeft].keyState) << "a load counts every key as released";
    EXPECT_TRUE(IsKeyBound(actionArray[kActionRotLeft]));
    EXPECT_EQ(actionArray[kActionThrust].keyCode, 0x01020304u);
    EXPECT_EQ(actionArray[kActionXAxis].pElement, Element(Device(0), kPadX));
    EXPECT_EQ(actionArray[kActionXAxis].pElement->userMin, -127) << "the user range is set again";
    EXPECT_EQ(actionArray[kActionZout].pElement, Element(Device(0), kPadButton2));
    EXPECT_EQ(actionArray[kActionThrust].pElement, nullptr);
}

TEST_F(Input, RecordsBindTheActionTheyNameAndTheLaterOneWins)
{
    std::vector<unsigned char> bytes(246, 0);
    const int order[6] = {5, 3, 3, 9, 0, -1};
    const IOHIDElementCookie cookies[6] = {kPadButton1, kPadX, kPadY, kPadZ, kPadButton2, kPadZ};
    for (int i = 0; i < 6; ++i) {
        recSaveHID record{order[i], 0x046d, 0xc216, 0x14100000, 5, 1, 0, 0, cookies[i]};
        HIDPackSaveRecord(record, &bytes[size_t(30 + 36 * i)]);
    }
    WriteFile(bytes);
    ASSERT_EQ(LoadConfig(), noErr);
    EXPECT_EQ(actionArray[kActionZout].pElement, Element(Device(0), kPadButton1));
    EXPECT_EQ(actionArray[kActionThrust].pElement, Element(Device(0), kPadY)) << "the later record wins";
    EXPECT_EQ(actionArray[kActionXAxis].pElement, Element(Device(0), kPadButton2));
    EXPECT_EQ(actionArray[kActionRotLeft].pElement, nullptr);
    EXPECT_EQ(actionArray[kActionRotRight].pElement, nullptr);
}

TEST_F(Input, AShortFileBindsWhatItHolds)
{
    BindKey(kActionXAxis, 7, 'a', false);
    BindKey(kActionRotLeft, 8, 'b', false);
    BindKey(kActionRotRight, 9, 'c', false);
    Bind(kActionXAxis, 0, kPadX);
    ASSERT_EQ(SaveConfig(), noErr);
    std::vector<unsigned char> bytes = FileBytes();
    bytes.resize(13); // action 2's key code is cut after three bytes
    WriteFile(bytes);
    ASSERT_EQ(LoadConfig(), noErr);
    EXPECT_EQ(actionArray[kActionXAxis].keyCode, 7u);
    EXPECT_EQ(actionArray[kActionRotLeft].charCode, 'b');
    EXPECT_EQ(actionArray[kActionRotRight].keyCode, 0u);
    EXPECT_EQ(actionArray[kActionRotRight].charCode, 0);
    EXPECT_EQ(actionArray[kActionXAxis].pElement, nullptr);

    bytes = std::vector<unsigned char>(30 + 36 + 20, 0);
    WriteFile(bytes);
    EXPECT_EQ(LoadConfig(), noErr);
    std::filesystem::remove(kConfigFileName);
    BindKey(kActionThrust, 5, 'x', true);
    EXPECT_EQ(LoadConfig(), paramErr) << "no file";
    EXPECT_FALSE(IsKeyBound(actionArray[kActionThrust])) << "every binding was cleared first";
}

TEST_F(Input, ADeviceFoundAgainOnAnotherPortOrAnotherOfItsKind)
{
    Bind(kActionXAxis, 0, kPadX);
    Bind(kActionThrust, 0, kPadButton1);
    ASSERT_EQ(SaveConfig(), noErr);
    HIDReleaseDeviceList();

    // Plugged into another port, behind another device.
    FixtureDevice moved = FixturePad(0x046d, 0xc216, 0x14200000, "Dual Action");
    InstallPads({FixturePad(0x0001, 0x0002, 0x14100000, "Other Pad"), moved});
    ASSERT_EQ(LoadConfig(), noErr);
    EXPECT_EQ(actionArray[kActionXAxis].pDevice, Device(1)) << "same vendor and product, found by cookie";
    EXPECT_EQ(actionArray[kActionXAxis].pElement, Element(Device(1), kPadX));
    HIDReleaseDeviceList();

    // Another pad of the same kind.
    InstallPads({FixturePad(0x054c, 0x0268, 0x14300000, "Another Pad")});
    ASSERT_EQ(LoadConfig(), noErr);
    EXPECT_EQ(actionArray[kActionXAxis].pDevice, Device(0));
    EXPECT_EQ(actionArray[kActionXAxis].pElement, Element(Device(0), kPadX)) << "by usage pair";
    EXPECT_EQ(actionArray[kActionThrust].pElement, Element(Device(0), kPadButton1));
}

TEST_F(Input, TheExactDeviceWithoutItsElementRestoresNothing)
{
    std::vector<unsigned char> bytes(246, 0);
    recSaveHID record{kActionThrust, 0x046d, 0xc216, 0x14100000, 5, 1, 9, 77, 99};
    HIDPackSaveRecord(record, &bytes[30]);
    WriteFile(bytes);
    ASSERT_EQ(LoadConfig(), noErr);
    EXPECT_EQ(actionArray[kActionThrust].pElement, nullptr) << "no later pass runs";

    // An unbound record looks for usage 0 on the first device: nothing.
    pRecDevice device = Device(0);
    pRecElement element = Element(device, kPadX);
    FILE* file = std::tmpfile();
    HIDSaveElementConfig(file, nullptr, nullptr, 4);
    std::rewind(file);
    EXPECT_EQ(HIDRestoreElementConfig(file, &device, &element), 4);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(element, nullptr);
    device = Device(0);
    EXPECT_EQ(HIDRestoreElementConfig(file, &device, &element), 0) << "end of file";
    EXPECT_EQ(device, nullptr);
    std::fclose(file);
}

// Devices coming and going: the list is built again each time, and the
// bindings in force find their elements in it.
TEST_F(Input, ABindingOutlivesItsDeviceAndComesBackWithIt)
{
    BindActionElement(kActionThrust, Device(0), Element(Device(0), kPadZ));
    Bind(kActionXAxis, 0, kPadX); // bound without a record, as a test may
    SetPadValue(0, kPadZ, 1023);
    GetInput();
    EXPECT_EQ(actionArray[kActionThrust].value, 255);

    // Gone: both read 0 and are saved as they were bound.
    FixtureRegistryInstall(FixtureRegistry{});
    UpdateDeviceList();
    EXPECT_EQ(HIDCountDevices(), 0u);
    EXPECT_FALSE(IsDeviceBound(actionArray[kActionThrust]));
    EXPECT_FALSE(IsDeviceBound(actionArray[kActionXAxis]));
    EXPECT_FALSE(HIDHaveConfigurableElement()) << "nothing to bind by movement";
    GetInput();
    EXPECT_EQ(actionArray[kActionThrust].value, 0);
    ASSERT_EQ(SaveConfig(), noErr);
    const std::vector<unsigned char> bytes = FileBytes();
    ASSERT_EQ(bytes.size(), 246u);
    const recSaveHID thrust = HIDUnpackSaveRecord(&bytes[30 + 36 * kActionThrust]);
    EXPECT_EQ(thrust.actionCookie, kActionThrust);
    EXPECT_EQ(thrust.vendorID, 0x046d);
    EXPECT_EQ(thrust.locID, 0x14100000);
    EXPECT_EQ(thrust.cookie, UInt32(kPadZ));
    EXPECT_EQ(HIDUnpackSaveRecord(&bytes[30]).cookie, UInt32(kPadX));

    // A pad of the same kind stands in for it, but the binding saved is the
    // one that was made.
    InstallPads({FixturePad(0x054c, 0x0268, 0x14300000, "Another Pad")});
    UpdateDeviceList();
    EXPECT_EQ(actionArray[kActionThrust].pElement, Element(Device(0), kPadZ)) << "by usage pair";
    ASSERT_EQ(SaveConfig(), noErr);
    EXPECT_EQ(HIDUnpackSaveRecord(&FileBytes()[30 + 36 * kActionThrust]).vendorID, 0x046d);

    // Back in another port, behind another pad: vendor and product find it.
    InstallPads(
        {FixturePad(0x0001, 0x0002, 0x14100000, "Other Pad"), FixturePad(0x046d, 0xc216, 0x14200000, "Dual Action")});
    UpdateDeviceList();
    EXPECT_TRUE(HIDHaveConfigurableElement());
    EXPECT_EQ(actionArray[kActionThrust].pElement, Element(Device(1), kPadZ));
    EXPECT_EQ(actionArray[kActionThrust].pElement->userMax, 255);
    EXPECT_EQ(actionArray[kActionXAxis].pElement, Element(Device(1), kPadX));
    EXPECT_EQ(actionArray[kActionXAxis].pElement->userMin, -127);
    EXPECT_EQ(bindingArray[kActionThrust].record.locID, 0x14100000) << "the binding in force stays as bound";
    SetPadValue(1, kPadZ, 1023);
    GetInput();
    EXPECT_EQ(actionArray[kActionThrust].value, 255);

    // Records that bind nothing, or no action, are not kept.
    recSaveHID unbound{};
    unbound.actionCookie = kActionZin;
    LoadActionBinding(unbound);
    EXPECT_FALSE(bindingArray[kActionZin].inForce);
    recSaveHID stray = bindingArray[kActionThrust].record;
    stray.actionCookie = kNumActions;
    LoadActionBinding(stray);
    for (const actionBinding& binding : bindingArray)
        EXPECT_NE(binding.record.actionCookie, kNumActions);

    // A later record for the same action wins whole, found or not.
    recSaveHID found = bindingArray[kActionThrust].record;
    found.actionCookie = kActionZin;
    LoadActionBinding(found);
    EXPECT_TRUE(IsDeviceBound(actionArray[kActionZin]));
    const recSaveHID absent{kActionZin, 0x0bad, 1, 1, 0x99, 0xff00, 0xff00, 1, 2};
    LoadActionBinding(absent);
    EXPECT_FALSE(IsDeviceBound(actionArray[kActionZin]));
    EXPECT_EQ(bindingArray[kActionZin].record.vendorID, 0x0bad);
}

TEST_F(Input, ConfigureActionTimesOutWithNullOutputs)
{
    pRecDevice device = Device(0);
    pRecElement element = Element(device, kPadX);
    EXPECT_FALSE(HIDConfigureAction(&device, &element, 0.05f));
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(element, nullptr);
}

TEST_F(Input, ConfigureActionWithoutAnyDeviceList)
{
    HIDReleaseDeviceList();
    FixtureRegistry broken;
    broken.matchingFails = true;
    FixtureRegistryInstall(std::move(broken));
    pRecDevice device = reinterpret_cast<pRecDevice>(0x10);
    pRecElement element = reinterpret_cast<pRecElement>(0x20);
    EXPECT_FALSE(HIDConfigureAction(&device, &element, 0.05f));
    EXPECT_EQ(device, reinterpret_cast<pRecDevice>(0x10)) << "left as they were";
    EXPECT_EQ(element, reinterpret_cast<pRecElement>(0x20));
}

} // namespace

namespace {

// Makes the element read `to` once the device has been read `afterReads`
// more times.
void MoveAt(int device, IOHIDElementCookie cookie, int afterReads, int32_t to)
{
    FixtureInterface& interface = *FixtureRegistryCurrent().devices.at(size_t(device)).interface;
    const int fromRead = interface.reads + afterReads;
    interface.beforeRead = [cookie, fromRead, to](FixtureInterface& state, IOHIDElementCookie) {
        if (state.reads >= fromRead)
            state.values[cookie] = to;
    };
}

TEST_F(Input, ConfigureActionFindsTheFirstElementThatMovesByATenth)
{
    SetPadValue(0, kPadX, 128);
    SetPadValue(0, kPadY, 128);
    MoveAt(0, kPadX, 40, 128 + 25); // 25 is not more than a tenth of 255
    pRecDevice device = nullptr;
    pRecElement element = nullptr;
    EXPECT_FALSE(HIDConfigureAction(&device, &element, 0.05f));

    SetPadValue(0, kPadX, 128);
    MoveAt(0, kPadX, 40, 128 - 26);
    EXPECT_TRUE(HIDConfigureAction(&device, &element, 1.0f));
    EXPECT_EQ(device, Device(0));
    EXPECT_EQ(element, Element(Device(0), kPadX));
}

TEST_F(Input, ConfigureActionTakesAnyChangeOfAButtonAndTheFirstInOrder)
{
    InstallPads({FixturePad(1, 2, 3, "First"), FixturePad(4, 5, 6, "Second")});
    // The second pad's button and the first pad's Z move in the same pass:
    // the first pad comes first.
    FixtureRegistryCurrent().devices[1].interface->beforeRead = [](FixtureInterface& state, IOHIDElementCookie) {
        if (state.reads > 10)
            state.values[kPadButton1] = 1;
    };
    FixtureRegistryCurrent().devices[0].interface->beforeRead = [](FixtureInterface& state, IOHIDElementCookie) {
        if (state.reads > 10)
            state.values[kPadZ] = 200;
    };
    pRecDevice device = nullptr;
    pRecElement element = nullptr;
    ASSERT_TRUE(HIDConfigureAction(&device, &element, 1.0f));
    EXPECT_EQ(device, Device(0));
    EXPECT_EQ(element, Element(Device(0), kPadZ));

    FixtureRegistryCurrent().devices[0].interface->beforeRead = nullptr;
    SetPadValue(0, kPadZ, 0);
    SetPadValue(1, kPadButton1, 0);
    MoveAt(1, kPadButton1, 30, 1);
    ASSERT_TRUE(HIDConfigureAction(&device, &element, 1.0f));
    EXPECT_EQ(element, Element(Device(1), kPadButton1)) << "a button's threshold is 0";
}

} // namespace

#include "Config_Window.h"

namespace {

TEST(BindingTexts, LongNamesAreCutAtTheTextsEnd)
{
    recDevice device{};
    recElement element{};
    std::memset(device.product, 'D', 255);
    std::memset(element.name, 'E', 255);
    char text[300];
    std::memset(text, '#', sizeof text);
    GetDeviceElementNameString(&device, &element, text);
    EXPECT_EQ(std::strlen(text), 255u);
    EXPECT_EQ(text[256], '#') << "nothing written beyond the 256-byte text";
    EXPECT_EQ(std::string(text + 257, 3), "###");

    device.product[0] = '\0';
    element.name[0] = '\0';
    device.usagePage = 1;
    device.usage = 5;
    element.usagePage = 1;
    element.usage = 0x30;
    GetDeviceElementNameString(&device, &element, text);
    EXPECT_EQ(std::string(text), "GamePad: X-Axis") << "usage names stand in for empty names";
}

TEST(BindingTexts, AnAbsentDeviceIsSaidToBeSoWhateverItsNameIsLong)
{
    actionBinding binding{};
    std::memset(binding.name, 'N', 255);
    char text[300];
    std::memset(text, '#', sizeof text);
    GetAbsentElementNameString(binding, text);
    EXPECT_EQ(std::strlen(text), 255u);
    EXPECT_EQ(text[256], '#') << "nothing written beyond the 256-byte text";
    EXPECT_EQ(std::string(text).substr(255 - 16), " (not connected)");

    binding.name[0] = '\0';
    binding.record = recSaveHID{kActionThrust, 0x046d, 0xc216, 0, 5, 1, 1, 0x35, 7};
    GetAbsentElementNameString(binding, text);
    EXPECT_EQ(std::string(text), "GamePad: Z-Rotation (not connected)")
        << "never seen: the kinds of device and element";
}

TEST(BindingTexts, KeysThatTypeNothingAreShownByName)
{
    char text[256];
    GetKeyNameString(38, 'a', text);
    EXPECT_STREQ(text, "'a'");
    GetKeyNameString(113, 0, text);
    EXPECT_STREQ(text, "'Left'");
    GetKeyNameString(67, 0, text);
    EXPECT_STREQ(text, "'F1'");
    GetKeyNameString(36, '\r', text);
    EXPECT_STREQ(text, "'Return'") << "a control code is shown by name";
    GetKeyNameString(65, ' ', text);
    EXPECT_STREQ(text, "' '") << "space is printable";
    GetKeyNameString(999, 0, text);
    EXPECT_STREQ(text, "'") << "an unknown key keeps the plain text, which ends at the NUL";
}

} // namespace
