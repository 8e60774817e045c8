// The configuration window and the held keys of the running shell: key
// capture, binding by movement, the texts, and steering the demo world.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QThread>
#include <QWidget>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "App_Shell.h"
#include "Config_File.h"
#include "Config_Window.h"
#include "HID_Devices_External.h"
#include "Host_App_Seams.h"
#include "Host_Files.h"
#include "Input_Actions.h"
#include "Input_Fixture.h"
#include "Sprite_Window.h"
#include "Test_Support.h"

namespace {

bool ChooseDemo(std::string* path)
{
    *path = STARDRIFT_SOURCE_DIR "/data/demo/demo.sprites";
    return true;
}

constexpr UInt32 kUpKey = 111, kLeftKey = 113, kAKey = 38;

// The shell on the demo world with one fixture pad, in a folder of its own
// (it loads and saves "ZV config" there), and its configuration window open.
class ConfigWindow : public testing::Test {
protected:
    void SetUp() override { Start(true); }
    // primaryUsagePage: that of the fixture pad (0x20 makes it a motion sensor).
    void Start(bool withDevices, int64_t primaryUsagePage = 1)
    {
        folder.Enter();
        // An empty bindings file: every action starts unbound (with none at
        // all, a first start would bind the demo keys).
        std::ofstream(kConfigFileName, std::ios::binary);
        FixtureRegistry registry;
        if (withDevices) {
            registry.devices.push_back(FixturePad(0x1234, 0x5678, 0x14100000, "Test Pad"));
            FixtureSet(registry.devices.back().properties, "PrimaryUsagePage", FixtureNumber(primaryUsagePage));
        } else {
            registry.matchingFails = true;
        }
        FixtureRegistryInstall(std::move(registry));
        HostSetFileChooser(ChooseDemo);
        ASSERT_EQ(StartApplication(), noErr);
        sprite = FrontWindow();
        ASSERT_EQ(HostSendCommand(FourCC("conf")), noErr) << "the status of creating the window";
        ASSERT_NE(gConfigWindow, nullptr);
    }
    void TearDown() override
    {
        HostSendCommand(FourCC("quit"));
        StopApplication();
        HostSetFileChooser(nullptr);
        FixtureRegistryRemove();
    }
    static OSStatus Click(const char (&command)[5]) { return HostSendWindowCommand(gConfigWindow, FourCC(command)); }
    static OSStatus Press(UInt32 keyCode, unsigned char charCode)
    {
        return HostSendKeyEvent(gConfigWindow, true, keyCode, charCode);
    }
    TemporaryFolder folder{"stardrift-config"};
    WindowRef sprite = nullptr;
};

TEST_F(ConfigWindow, OpensInKeyModeWithEveryActionUnbound)
{
    EXPECT_TRUE(FixtureWindowVisible(gConfigWindow));
    EXPECT_TRUE(GetControlRadio(gConfigWindow, 0));
    EXPECT_FALSE(GetControlRadio(gConfigWindow, 1));
    const ControlID deviceMode{FourCC("ZaVo"), 1};
    ControlRef control = nullptr;
    ASSERT_EQ(GetControlByID(gConfigWindow, &deviceMode, &control), noErr);
    EXPECT_TRUE(FixtureControlEnabled(control));
    for (int n = 1; n <= 6; ++n)
        EXPECT_EQ(ConfigText("hidc", n), "---") << n;
    for (int n = 2; n <= 6; ++n)
        EXPECT_EQ(ConfigText("keyc", n), "--") << n;
    EXPECT_EQ(ConfigText("keyc", 1), "<no control>") << "the X axis shows no key";

    EXPECT_EQ(Click("ok  "), noErr);
    EXPECT_FALSE(FixtureWindowVisible(gConfigWindow));
    EXPECT_EQ(HostSendCommand(FourCC("conf")), eventNotHandledErr) << "opened again";
    EXPECT_TRUE(FixtureWindowVisible(gConfigWindow));
}

TEST_F(ConfigWindow, AKeyPressedAfterAnActionBindsItAndTakesItFromAnother)
{
    EXPECT_EQ(Press(kUpKey, 0), eventNotHandledErr) << "no capture armed";
    EXPECT_EQ(Click("thrs"), noErr);
    EXPECT_EQ(Press(kUpKey, 0), noErr);
    EXPECT_EQ(actionArray[kActionThrust].keyCode, kUpKey);
    EXPECT_EQ(ConfigText("keyc", 4), "'Up'") << "a key that types nothing is shown by name";

    Click("czin");
    Press(kAKey, 'a');
    EXPECT_EQ(ConfigText("keyc", 5), "'a'");

    Click("rLft");
    Press(kUpKey, 0);
    EXPECT_EQ(actionArray[kActionRotLeft].keyCode, kUpKey);
    EXPECT_EQ(ConfigText("keyc", 2), "'Up'");
    EXPECT_EQ(ConfigText("keyc", 4), "--") << "taken away from thrust";
    EXPECT_FALSE(IsKeyBound(actionArray[kActionThrust]));

    Click("xaxs");
    Press(kLeftKey, 0);
    EXPECT_EQ(actionArray[kActionXAxis].keyCode, kLeftKey) << "bound, though no text shows it";
}

TEST_F(ConfigWindow, KeyModeKeepsAnArmedCaptureAndDeviceModeDisarmsIt)
{
    Click("czot");
    EXPECT_EQ(Click("cKey"), noErr);
    EXPECT_EQ(Press(kAKey, 'a'), noErr);
    EXPECT_EQ(actionArray[kActionZout].charCode, 'a');

    Click("czot");
    EXPECT_EQ(Click("cDev"), noErr);
    EXPECT_TRUE(GetControlRadio(gConfigWindow, 1));
    EXPECT_FALSE(GetControlRadio(gConfigWindow, 0));
    EXPECT_EQ(Press(kUpKey, 0), eventNotHandledErr);
    EXPECT_EQ(actionArray[kActionZout].keyCode, kAKey);
}

TEST_F(ConfigWindow, MovingAnElementBindsItAndAButtonCannotTurn)
{
    Click("cDev");
    FixtureInterface& pad = *FixtureRegistryCurrent().devices[0].interface;
    pad.values[kPadY] = 128;
    const int start = pad.reads;
    pad.beforeRead = [start](FixtureInterface& state, IOHIDElementCookie) {
        if (state.reads > start + 20)
            state.values[kPadY] = 250;
    };
    EXPECT_EQ(Click("thrs"), noErr);
    ASSERT_NE(actionArray[kActionThrust].pElement, nullptr);
    EXPECT_EQ(actionArray[kActionThrust].pElement->usage, 0x31);
    EXPECT_EQ(actionArray[kActionThrust].pElement->userMax, 255);
    EXPECT_EQ(ConfigText("hidc", 4).rfind("Test Pad: ", 0), 0u) << ConfigText("hidc", 4);
    EXPECT_EQ(ConfigText("prmt", 0), "");

    const int now = pad.reads;
    pad.beforeRead = [now](FixtureInterface& state, IOHIDElementCookie) {
        if (state.reads > now + 20)
            state.values[kPadButton1] = 1;
    };
    EXPECT_EQ(Click("xaxs"), noErr);
    EXPECT_EQ(actionArray[kActionXAxis].pElement, nullptr) << "a button is refused for the X axis";
    EXPECT_EQ(ConfigText("hidc", 1), "---");
}

// A key as the window system delivers it to the configuration window.
void Type(Qt::Key key, Qt::KeyboardModifiers modifiers, quint32 scanCode, const QString& text = {})
{
    QWidget* window = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowTitle() == "Configure Controls" && widget->isVisible())
            window = widget;
    ASSERT_NE(window, nullptr);
    QKeyEvent press(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, text);
    QCoreApplication::sendEvent(window, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, scanCode, 0, 0, text);
    QCoreApplication::sendEvent(window, &release);
}

TEST_F(ConfigWindow, TheKeyboardAloneArmsAnActionBindsAKeyAndClosesTheWindow)
{
    constexpr quint32 kTKey = 28, kReturnKey = 36, kEscapeKey = 9;
    Type(Qt::Key_T, Qt::AltModifier, kTKey);
    EXPECT_EQ(ConfigText("prmt", 0), "Press a key to bind it...") << "Alt+T is the Thrust button's letter";
    Type(Qt::Key_Return, Qt::NoModifier, kReturnKey, "\r");
    EXPECT_EQ(actionArray[kActionThrust].keyCode, kReturnKey) << "an armed capture takes Return too";
    EXPECT_TRUE(FixtureWindowVisible(gConfigWindow));

    Type(Qt::Key_Escape, Qt::NoModifier, kEscapeKey, "\x1b");
    EXPECT_FALSE(FixtureWindowVisible(gConfigWindow));
    HostSendCommand(FourCC("conf"));
    Type(Qt::Key_Return, Qt::NoModifier, kReturnKey, "\r");
    EXPECT_FALSE(FixtureWindowVisible(gConfigWindow)) << "Return presses OK";
    EXPECT_EQ(actionArray[kActionThrust].keyCode, kReturnKey);
}

TEST_F(ConfigWindow, TheCloseBoxOnlyHidesTheWindow)
{
    HostSendWindowEvent(gConfigWindow, kEventWindowClose);
    EXPECT_NE(gConfigWindow, nullptr);
    EXPECT_FALSE(FixtureWindowVisible(gConfigWindow));
    EXPECT_EQ(HostSendCommand(FourCC("conf")), eventNotHandledErr);
    EXPECT_TRUE(FixtureWindowVisible(gConfigWindow));
}

TEST_F(ConfigWindow, BindingsAreSavedAtQuitAndLoadedAtStart)
{
    Click("rRgt");
    Press(kUpKey, 0);
    HostSendCommand(FourCC("quit"));
    StopApplication();
    EXPECT_EQ(std::filesystem::file_size(kConfigFileName), 246u);
    actionArray[kActionRotRight] = actionRec{};
    ASSERT_EQ(StartApplication(), noErr);
    HostSendCommand(FourCC("conf"));
    EXPECT_EQ(actionArray[kActionRotRight].keyCode, kUpKey);
    EXPECT_EQ(ConfigText("keyc", 3), "'Up'");
    EXPECT_EQ(HostSendCommand(FourCC("save")), noErr);
    EXPECT_EQ(HostSendCommand(FourCC("load")), noErr);
    std::filesystem::remove(kConfigFileName);
    EXPECT_EQ(HostSendCommand(FourCC("load")), paramErr);
}

class ConfigWindowWithoutDevices : public ConfigWindow {
protected:
    void SetUp() override { Start(false); }
};

TEST_F(ConfigWindowWithoutDevices, OnlyKeysCanBeBound)
{
    EXPECT_FALSE(gfDevice);
    const ControlID deviceMode{FourCC("ZaVo"), 1};
    ControlRef control = nullptr;
    ASSERT_EQ(GetControlByID(gConfigWindow, &deviceMode, &control), noErr);
    EXPECT_FALSE(FixtureControlEnabled(control));
}

// Keys held in the sprite window steer the ship through the frame timer.
TEST_F(ConfigWindow, HoldingTheThrustKeyMovesTheShipAndLeavesPuffs)
{
    Click("thrs");
    Press(kUpKey, 0);
    Click("ok  ");
    auto* record = static_cast<recWindow*>(GetWRefCon(sprite));
    const float startY = record->pSpriteArray[0].centerY;
    HostSendCommand(FourCC("gogo"));
    EXPECT_EQ(HostSendKeyEvent(sprite, true, kUpKey, 0), eventNotHandledErr) << "keys go on to the menus";
    EXPECT_TRUE(actionArray[kActionThrust].keyState);
    auto puffs = [record] {
        int visible = 0;
        for (int i = 3; i < record->numSprites && i <= 32; ++i)
            visible += record->pSpriteArray[i].alpha > 0.0f;
        return visible;
    };
    for (int i = 0; i < 2500 && (record->pSpriteArray[0].centerY > startY - 5.0f || puffs() < 2); ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    HostSendKeyEvent(sprite, false, kUpKey, 0);
    EXPECT_FALSE(actionArray[kActionThrust].keyState);
    EXPECT_LT(record->pSpriteArray[0].centerY, startY - 5.0f) << "thrust moves the ship up the screen";
    EXPECT_GE(puffs(), 2) << "and leaves a trail of puffs";
}

// Device mode needs something binding by movement may take, and the wait
// ignores the keyboard.

class ConfigWindowWithMotionSensorOnly : public ConfigWindow {
protected:
    void SetUp() override { Start(true, 0x20); }
};

TEST_F(ConfigWindowWithMotionSensorOnly, DeviceModeIsOfferedOnlyWhenSomethingCanBeBound)
{
    EXPECT_TRUE(gfDevice) << "there is a device list";
    const ControlID deviceMode{FourCC("ZaVo"), 1};
    ControlRef control = nullptr;
    ASSERT_EQ(GetControlByID(gConfigWindow, &deviceMode, &control), noErr);
    EXPECT_FALSE(FixtureControlEnabled(control)) << "but nothing in it can be bound by moving it";
    EXPECT_TRUE(GetControlRadio(gConfigWindow, 0));
}

TEST_F(ConfigWindow, AKeyTypedDuringTheWaitDoesNotStartAnother)
{
    Click("cDev");
    QWidget* window = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowTitle() == "Configure Controls" && widget->isVisible())
            window = widget;
    ASSERT_NE(window, nullptr);
    constexpr quint32 kTKey = 28;
    FixtureInterface& pad = *FixtureRegistryCurrent().devices[0].interface;
    pad.values[kPadY] = 128;
    const int start = pad.reads;
    bool typed = false;
    pad.beforeRead = [&, start](FixtureInterface& state, IOHIDElementCookie) {
        // Alt+T, the Thrust button's letter, comes while the program waits.
        if (state.reads > start + 10 && !typed) {
            typed = true;
            QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_T, Qt::AltModifier, kTKey, 0, 0,
                                                              QString()));
        }
        if (state.reads > start + 40)
            state.values[kPadY] = 250;
    };
    EXPECT_EQ(Click("thrs"), noErr);
    ASSERT_TRUE(typed);
    ASSERT_NE(actionArray[kActionThrust].pElement, nullptr);
    const int afterWait = pad.reads;
    QCoreApplication::processEvents();
    EXPECT_EQ(pad.reads, afterWait) << "no second wait";
    EXPECT_EQ(ConfigText("prmt", 0), "");
    pad.beforeRead = nullptr;
}

} // namespace
