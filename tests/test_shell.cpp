#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "App_Shell.h"
#include "Config_File.h"
#include "Host_App_Seams.h"
#include "Host_Files.h"
#include "Host_GL_Hooks.h"
#include "Host_Window_Surface.h"
#include "Input_Actions.h"
#include "Sprite_Window.h"
#include "Test_Support.h"

namespace {

bool gCancel = false;
std::string gNextFile = STARDRIFT_SOURCE_DIR "/data/demo/demo.sprites";
bool ChooseDemo(std::string* path)
{
    if (gCancel)
        return false;
    *path = gNextFile;
    return true;
}

// How many pixels of the last frame are not the clear colour (0.2 gray), and
// how many frames there were.
struct Drawn {
    int frames = 0;
    int pixels = 0;
};
void CountDrawn(AGLContext, void* data)
{
    auto* drawn = static_cast<Drawn*>(data);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    std::vector<uint8_t> rgba(size_t(viewport[2]) * size_t(viewport[3]) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, viewport[2], viewport[3], GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    drawn->pixels = 0;
    for (size_t i = 0; i < rgba.size(); i += 4)
        drawn->pixels += rgba[i] != 51 || rgba[i + 1] != 51 || rgba[i + 2] != 51;
    ++drawn->frames;
}

recWindow* Record(WindowRef window)
{
    return static_cast<recWindow*>(GetWRefCon(window));
}

// The shell started on the demo world, driven by the events a user's
// commands send. Each test runs in a process of its own.
class Shell : public testing::Test {
protected:
    void SetUp() override
    {
        // The shell loads and saves its bindings in the working directory.
        folder = std::filesystem::temp_directory_path() / ("stardrift-shell-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        previous = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        BeforeStart();
        HostSetFileChooser(ChooseDemo);
        ASSERT_EQ(StartApplication(), noErr);
        first = FrontWindow();
        ASSERT_NE(first, nullptr);
        ASSERT_NE(Record(first), nullptr);
    }
    void TearDown() override
    {
        HostSendCommand(FourCC("quit"));
        StopApplication();
        HostSetFileChooser(nullptr);
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
    }
    // What the working folder holds when the shell starts.
    virtual void BeforeStart() {}
    std::filesystem::path folder, previous;
    static OSStatus Command(const char (&code)[5]) { return HostSendCommand(FourCC(code)); }
    WindowRef first = nullptr;
};

using Keys = std::vector<std::pair<UInt32, char>>;
const Keys kNoKeys(kNumActions, {0, 0});
const Keys kDemoKeys = {{0, 0}, {113, 0}, {114, 0}, {111, 0}, {38, 'a'}, {52, 'z'}};

// The key codes and characters of the six actions, in action order.
Keys BoundKeys()
{
    Keys keys;
    for (const actionRec& action : actionArray)
        keys.emplace_back(action.keyCode, action.charCode);
    return keys;
}

TEST_F(Shell, AFirstStartSteersWithTheDemoKeysAndSavesThem)
{
    EXPECT_EQ(BoundKeys(), kDemoKeys) << "Left, Right, Up, A and Z";
    EXPECT_EQ(LoadConfig(), paramErr) << "loading the missing file still unbinds every key";
    EXPECT_EQ(BoundKeys(), kNoKeys);
    BindDemoKeys();
    HostSendCommand(FourCC("quit"));
    StopApplication();
    StartApplication();
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / kConfigFileName)) << "saved at shut-down";
    EXPECT_EQ(BoundKeys(), kDemoKeys) << "read back from the file";
}

// One key saved as the file's only binding.
class ShellWithFile : public Shell {
protected:
    void BeforeStart() override
    {
        std::vector<char> bytes(kConfigFileBytes, 0);
        bytes[5 * kActionThrust + 3] = 25; // W
        std::ofstream(kConfigFileName, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
};

TEST_F(ShellWithFile, ASavedFileIsLoadedInstead)
{
    const Keys keys = {{0, 0}, {0, 0}, {0, 0}, {25, 0}, {0, 0}, {0, 0}};
    EXPECT_EQ(BoundKeys(), keys);
}

// Something named like the file that cannot be read as one.
class ShellWithUnreadableFile : public Shell {
protected:
    void BeforeStart() override { std::filesystem::create_symlink("nowhere", kConfigFileName); }
};

TEST_F(ShellWithUnreadableFile, LeavesEveryKeyUnbound)
{
    EXPECT_EQ(BoundKeys(), kNoKeys);
}

// The bindings kept in a folder of their own, as --demo keeps them.
class ShellWithConfigElsewhere : public Shell {
protected:
    void BeforeStart() override
    {
        std::filesystem::create_directory("settings");
        gConfigFilePath = (folder / "settings" / kConfigFileName).string();
    }
};

TEST_F(ShellWithConfigElsewhere, LoadsAndSavesThereOnly)
{
    EXPECT_EQ(BoundKeys(), kDemoKeys) << "nothing there yet";
    actionArray[kActionZin].keyCode = 39;
    actionArray[kActionZin].charCode = 's';
    EXPECT_EQ(Command("save"), noErr);
    EXPECT_EQ(std::filesystem::file_size(folder / "settings" / kConfigFileName), 246u);
    EXPECT_FALSE(std::filesystem::exists(folder / kConfigFileName)) << "nothing in the working folder";
    actionArray[kActionZin] = actionRec{};
    EXPECT_EQ(Command("load"), noErr);
    EXPECT_EQ(actionArray[kActionZin].keyCode, 39u);
    EXPECT_EQ(actionArray[kActionZin].charCode, 's');
}

TEST_F(Shell, OpensTheSpriteFileInATitledWindow)
{
    EXPECT_EQ(FixtureWindowCount(), 1);
    EXPECT_TRUE(FixtureWindowVisible(first));
    EXPECT_EQ(std::string(HostLastChosenFileName()), "demo.sprites");
    EXPECT_FALSE(FixtureMenuBarWindowVisible());
    EXPECT_GE(Record(first)->numSprites, 33);
    EXPECT_FLOAT_EQ(Record(first)->zoom, 0.5f);
}

TEST_F(Shell, CommandResults)
{
    EXPECT_EQ(Command("zmin"), noErr);
    EXPECT_EQ(Command("zout"), noErr);
    EXPECT_EQ(Command("zt11"), noErr);
    EXPECT_EQ(Command("tlin"), noErr);
    EXPECT_EQ(Command("tinf"), noErr);
    EXPECT_EQ(Command("grid"), noErr);
    EXPECT_EQ(Command("gogo"), eventNotHandledErr);
    EXPECT_EQ(Command("stop"), eventNotHandledErr);
    EXPECT_EQ(Command("roro"), eventNotHandledErr);
    EXPECT_EQ(Command("what"), eventNotHandledErr);
    EXPECT_EQ(Command("opnf"), noErr) << "the status of creating the second window";
    EXPECT_EQ(FixtureWindowCount(), 2);
    gCancel = true;
    EXPECT_EQ(Command("opnf"), eventNotHandledErr) << "no sprite file loaded";
    EXPECT_EQ(FixtureWindowCount(), 2);
    EXPECT_EQ(Command("clsf"), eventNotHandledErr);
    EXPECT_EQ(FixtureWindowCount(), 1);
}

TEST_F(Shell, ZoomSequenceAndToggles)
{
    recWindow* record = Record(first);
    Command("zt11");
    EXPECT_EQ(record->zoom, 1.0f);
    Command("zout");
    EXPECT_EQ(record->zoom, float(1.0 / 1.5));
    EXPECT_NEAR(record->zoom, 0.6667f, 1e-4f);
    Command("zout");
    EXPECT_NEAR(record->zoom, 0.4444f, 1e-4f);
    for (int i = 0; i < 10; ++i)
        Command("zout");
    EXPECT_EQ(record->zoom, 0.1f) << "stops at exactly 0.1";
    Command("zmin");
    EXPECT_EQ(record->zoom, float(double(0.1f) * 1.5));
    EXPECT_EQ(record->lines, 0);
    Command("tlin");
    EXPECT_EQ(record->lines, 1);
    Command("tlin");
    EXPECT_EQ(record->lines, 0);
    const Boolean rotate = gZarvoRotate;
    Command("roro");
    EXPECT_EQ(gZarvoRotate, !rotate);
}

TEST_F(Shell, ThreeHundredZoomsEachWayKeepAFiniteDrawnView)
{
    recWindow* record = Record(first);
    Command("tinf"); // only the world is drawn
    Drawn drawn;
    FixtureSetBeforeSwapHook(CountDrawn, &drawn);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(Command("zmin"), noErr);
    EXPECT_EQ(record->zoom, kMaxZoom);
    HandleWindowUpdate(first);
    EXPECT_GT(drawn.pixels, 1000) << "the view still shows the world";

    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(Command("zout"), noErr);
    EXPECT_EQ(record->zoom, kMinZoom);
    HandleWindowUpdate(first);
    EXPECT_GT(drawn.pixels, 1000);

    // (The bound zoom keys: Simulation.ThreeHundredZoomTicksEachWayStayInRange.)
    FixtureSetBeforeSwapHook(nullptr, nullptr);
}

TEST_F(Shell, AFailedSaveControlsSaysWhyAndBeeps)
{
    std::filesystem::create_directory("ZV config");
    const int beeps = FixtureBeepCount();
    StartCapturingStderr();
    EXPECT_EQ(Command("save"), paramErr);
    const std::string said = CapturedStderr();
    EXPECT_EQ(FixtureBeepCount(), beeps + 1);
    EXPECT_NE(said.find("\"ZV config\": it is a folder"), std::string::npos) << said;
    std::filesystem::remove("ZV config");
    EXPECT_EQ(Command("save"), noErr);
    EXPECT_EQ(FixtureBeepCount(), beeps + 1) << "a save that works is silent";
}

TEST_F(Shell, HugeRotationsInASpriteFileKeepTheWorldRunning)
{
    // Steered sprites turned 1e10, 1e30, infinitely far and NaN degrees, a
    // drawn one at 1e30 and the view turning with sprite 0.
    for (const char* image : {"ship.png", "smoke.png"})
        std::filesystem::create_symlink(STARDRIFT_SOURCE_DIR "/data/demo/" + std::string(image), image);
    std::ofstream file("huge.sprites");
    file << "4\n1\nship.png\n1\nship.png\n1\nship.png\n2\nsmoke.png\n8\n";
    const char* rotations[] = {"1e10", "1e30", "inf", "0", "0", "nan", "-1e30", "1e30"};
    for (int i = 0; i < 8; ++i)
        file << (i >= 3 && i <= 4 ? 3 : 0) << "\n0\n0\n0\n"
             << rotations[i] << "\n1\n0\n0\n0\n1\n1\n1\n1\n0\n1\n0\n"
             << (i == 7 ? 0 : 1) << "\n";
    file.close();
    gNextFile = "huge.sprites";
    ASSERT_EQ(Command("opnf"), noErr);
    WindowRef window = FrontWindow();
    ASSERT_NE(window, first);
    recWindow* record = Record(window);
    ASSERT_EQ(record->numSprites, 8);
    ASSERT_EQ(record->pSpriteArray[1].rotation, 1e30f);
    Command("roro");
    actionArray[kActionThrust].keyCode = 13;
    actionArray[kActionThrust].keyState = true;
    actionArray[kActionRotRight].keyCode = 14;
    actionArray[kActionRotRight].keyState = true;
    Drawn drawn;
    FixtureSetBeforeSwapHook(CountDrawn, &drawn);
    Command("gogo");
    for (int i = 0; i < 2000 && drawn.frames < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    Command("stop");
    FixtureSetBeforeSwapHook(nullptr, nullptr);
    EXPECT_GE(drawn.frames, 20) << "the world runs";
    EXPECT_GT(drawn.pixels, 100) << "and is drawn";
    for (int i = 0; i < 8; ++i) {
        const recSprite& sprite = record->pSpriteArray[i];
        if (!sprite.fTakesInput)
            continue;
        EXPECT_GE(sprite.rotation, 0.0f) << i;
        EXPECT_LE(sprite.rotation, 360.0f) << i;
        EXPECT_TRUE(std::isfinite(sprite.velocityX) && std::isfinite(sprite.centerY)) << i;
    }
    EXPECT_NE(record->pSpriteArray[0].centerY, 0.0f) << "thrust moved the ship";
    actionArray[kActionThrust] = actionRec{};
    actionArray[kActionRotRight] = actionRec{};
}

int gLostDisplayRuns = 0;

TEST_F(Shell, AWaylandConnectionLostInTheEventLoopRunsTheLostDisplayProc)
{
    // Qt's Wayland client says this and ends the process with _exit().
    HostSetLostDisplayProc([] { ++gLostDisplayRuns; });
    qWarning("The Wayland connection broke. Did the Wayland compositor die?");
    EXPECT_EQ(gLostDisplayRuns, 0) << "only from inside the event loop";
    QTimer::singleShot(0, [] {
        qWarning("The Wayland connection broke. Did the Wayland compositor die?");
        qWarning("The Wayland connection experienced a fatal error: %s", "Broken pipe");
        HostSendCommand(kHICommandQuit);
    });
    RunApplicationEventLoop();
    EXPECT_EQ(gLostDisplayRuns, 1) << "once";
}

TEST_F(Shell, AWriteToALostDisplayFailsWithoutEndingTheProgram)
{
    // The display's end of the socket is gone; the X library's next write
    // must come back with an error (and the IO-error path then exits through
    // the lost-display proc), not kill the process with SIGPIPE.
    HostSetLostDisplayProc([] { ++gLostDisplayRuns; });
    int sockets[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    close(sockets[1]);
    const char request[4] = {};
    EXPECT_EQ(write(sockets[0], request, sizeof request), -1);
    EXPECT_EQ(errno, EPIPE);
    close(sockets[0]);
}

TEST_F(Shell, MenuOpeningSetsTheCheckMarks)
{
    MenuRef menu = GetMenuHandle(kMainMenu);
    ASSERT_NE(menu, nullptr);
    Command("tlin");
    Command("tinf"); // info was on after loading
    HostSendMenuOpening();
    EXPECT_TRUE(FixtureMenuItemChecked(menu, 15));
    EXPECT_FALSE(FixtureMenuItemChecked(menu, 16));
    EXPECT_FALSE(FixtureMenuItemChecked(menu, 17));
    Command("grid");
    HostSendMenuOpening();
    EXPECT_TRUE(FixtureMenuItemChecked(menu, 17));
}

TEST_F(Shell, OneTimerTicksTheWindowThatWasFront)
{
    EXPECT_EQ(FixtureTimerCount(), 0);
    Command("gogo");
    Command("gogo");
    EXPECT_EQ(FixtureTimerCount(), 1);
    EXPECT_NE(gTimer, nullptr);
    EXPECT_TRUE(Record(first)->go);

    Command("opnf");
    WindowRef second = FrontWindow();
    ASSERT_NE(second, first);
    Command("gogo"); // only sets go on the second window
    EXPECT_EQ(FixtureTimerCount(), 1);
    EXPECT_TRUE(Record(second)->go);

    // Ticks move the first window's world only.
    const float firstX = Record(first)->pSpriteArray[2].centerX;
    const float secondX = Record(second)->pSpriteArray[2].centerX;
    // Each tick now draws two frames: give the ticks up to two seconds.
    for (int i = 0; i < 1000 && Record(first)->pSpriteArray[2].centerX == firstX; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    EXPECT_NE(Record(first)->pSpriteArray[2].centerX, firstX);
    EXPECT_EQ(Record(second)->pSpriteArray[2].centerX, secondX);

    // The window system reports activations late, and a late one for the
    // first window would bring it back to the front while the ticks ran:
    // the user picks the second window again before stopping.
    SetUserFocusWindow(second);
    Command("stop"); // from the second window: stops the one timer
    EXPECT_EQ(FixtureTimerCount(), 0);
    EXPECT_EQ(gTimer, nullptr);
    EXPECT_FALSE(Record(second)->go);
    EXPECT_TRUE(Record(first)->go);
    Command("stop"); // without a timer only clears go
    EXPECT_EQ(FixtureTimerCount(), 0);
}

TEST_F(Shell, ClosingTheTickedWindowStopsTheTimer)
{
    Command("gogo");
    Command("opnf");
    ASSERT_EQ(FixtureTimerCount(), 1);
    Command("clsf"); // the second window: the timer keeps ticking the first
    EXPECT_EQ(FixtureTimerCount(), 1);
    HostSendWindowEvent(first, kEventWindowClose); // the close box
    EXPECT_EQ(FixtureTimerCount(), 0);
    EXPECT_EQ(gTimer, nullptr);
    EXPECT_EQ(FixtureWindowCount(), 0);
    EXPECT_TRUE(FixtureMenuBarWindowVisible()) << "the menu bar stays in a window of its own";
    EXPECT_EQ(Command("zmin"), eventNotHandledErr) << "window commands do nothing without a window";
    EXPECT_EQ(Command("clsf"), eventNotHandledErr);
}

TEST_F(Shell, WindowCommandsSkipAWindowWithoutRecord)
{
    WindowRef config = nullptr;
    ASSERT_EQ(CreateWindowFromNib(nibRef, "ConfigWindow", &config), noErr);
    gConfigWindow = config;
    ShowWindow(config);
    ASSERT_EQ(FrontWindow(), config);
    const float zoom = Record(first)->zoom;
    EXPECT_EQ(Command("zmin"), eventNotHandledErr);
    EXPECT_EQ(Command("gogo"), eventNotHandledErr);
    EXPECT_EQ(FixtureTimerCount(), 0);
    EXPECT_EQ(Record(first)->zoom, zoom);
    MenuRef menu = GetMenuHandle(kMainMenu);
    CheckMenuItem(menu, 16, 0);
    HostSendMenuOpening();
    EXPECT_FALSE(FixtureMenuItemChecked(menu, 16)) << "no check marks from the configuration window";
    // Closing the configuration window only hides it.
    Command("clsf");
    EXPECT_EQ(FixtureWindowCount(), 2);
    EXPECT_FALSE(FixtureWindowVisible(config));
    EXPECT_EQ(FrontWindow(), first);
}

TEST_F(Shell, QuitDisposesEveryWindowAndEndsTheLoop)
{
    Command("opnf");
    Command("gogo");
    ASSERT_EQ(FixtureWindowCount(), 2);
    EXPECT_EQ(Command("quit"), eventNotHandledErr);
    EXPECT_EQ(FixtureWindowCount(), 0);
    EXPECT_EQ(FixtureTimerCount(), 0);
    RunApplicationEventLoop(); // returns at once: quit was requested
}

TEST_F(Shell, KeysReachTheWindowAndThenTheMenus)
{
    Record(first)->zoom = 1.0f;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Equal, Qt::ControlModifier, "=");
    QWindow* surface = HostWindowSurface(first);
    ASSERT_NE(surface, nullptr);
    QCoreApplication::sendEvent(surface, &press);
    EXPECT_EQ(Record(first)->zoom, 1.5f) << "Ctrl+= is Zoom In";
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Equal, Qt::ControlModifier, "=", true);
    QCoreApplication::sendEvent(surface, &repeat);
    EXPECT_EQ(Record(first)->zoom, 1.5f) << "auto-repeat is dropped";
}

TEST_F(Shell, PortBoundsAreTheSurfaceInDevicePixels)
{
    QCoreApplication::processEvents();
    Rect bounds;
    GetWindowPortBounds(first, &bounds);
    QWindow* surface = HostWindowSurface(first);
    EXPECT_EQ(bounds.top, 0);
    EXPECT_EQ(bounds.left, 0);
    EXPECT_EQ(bounds.right, int(surface->width() * surface->devicePixelRatio()));
    EXPECT_EQ(bounds.bottom, int(surface->height() * surface->devicePixelRatio()));
    EXPECT_GT(bounds.right, 0);
}

} // namespace
