// The installed program as a user sees it, under a display: real key events
// (xdotool), screenshots (ImageMagick import), pixels checked.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "Shell_Command.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBuild = STARDRIFT_BUILD_DIR;

void Sleep(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// A rectangle of the screen.
struct Area {
    int x, y, width, height;
};

// The program installed into a folder of its own and started there.
class EndToEnd : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root = fs::temp_directory_path() / ("stardrift-e2e-" + std::to_string(getpid()));
        fs::create_directories(root / "run");
        ASSERT_EQ(std::system(("cmake --install '" + kBuild.string() + "' --prefix '" + (root / "usr").string() +
                               "' > /dev/null")
                                  .c_str()),
                  0);
    }
    static void TearDownTestSuite() { fs::remove_all(root); }
    void TearDown() override
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    // Starts the installed program with the argument and waits for its window.
    void Start(const std::string& argument, const char* title)
    {
        pid = fork();
        if (pid == 0) {
            if (chdir((root / "run").c_str()) != 0)
                _exit(127);
            const std::string program = (root / "usr/games/stardrift").string();
            execl(program.c_str(), program.c_str(), argument.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        for (int i = 0; i < 100 && window.empty(); ++i) {
            Sleep(100);
            window = Shell(std::string("xdotool search --onlyvisible --name '") + title + "' 2>/dev/null | head -1");
        }
        ASSERT_FALSE(window.empty()) << "no window";
        Sleep(800); // the first frames
        const std::string geometry = Shell("xdotool getwindowgeometry --shell " + window);
        auto value = [&geometry](const char* key) {
            const size_t at = geometry.find(std::string(key) + "=");
            return at == std::string::npos ? 0 : std::atoi(geometry.c_str() + at + std::strlen(key) + 1);
        };
        frame = Area{value("X"), value("Y"), value("WIDTH"), value("HEIGHT")};
        ASSERT_GT(frame.width, 200);
        Shell("xdotool windowactivate --sync " + window + " 2>/dev/null; xdotool windowfocus --sync " + window);
    }
    void Keys(const std::string& keys) { Shell("xdotool key --window " + window + " " + keys); }
    // The window as it is on the screen now.
    QImage Shot()
    {
        const std::string file = (root / "shot.png").string();
        Shell("import -window root '" + file + "'");
        QImage screen(QString::fromStdString(file));
        return screen.copy(frame.x, frame.y, frame.width, frame.height).convertToFormat(QImage::Format_RGB32);
    }
    // Pixels of the area whose colour passes the test.
    template <typename Test>
    static int Count(const QImage& image, Area area, Test test)
    {
        int n = 0;
        for (int y = area.y; y < area.y + area.height && y < image.height(); ++y)
            for (int x = area.x; x < area.x + area.width && x < image.width(); ++x)
                n += test(QColor(image.pixel(x, y)));
        return n;
    }
    // The sprite area: below the menu bar, which ends where the overlay's
    // panel (a flat dark colour) starts.
    static int ContentTop(const QImage& image)
    {
        for (int y = 0; y < image.height() / 2; ++y) {
            const QColor c(image.pixel(200, y));
            if (c.red() < 60 && c.green() < 60 && c.blue() < 70)
                return y;
        }
        return 0;
    }
    static inline fs::path root;
    pid_t pid = -1;
    std::string window;
    Area frame{};
};

bool Red(const QColor& c)
{
    return c.red() > 150 && c.green() < 60 && c.blue() < 60;
}

bool Green(const QColor& c)
{
    return c.green() > 200 && c.red() < 80 && c.blue() < 80;
}

bool Bright(const QColor& c)
{
    return c.red() + c.green() + c.blue() > 450;
}

TEST_F(EndToEnd, AnEmptyWorldIsDarkGray)
{
    std::ofstream(root / "run/empty.sprites") << "0\n0\n";
    Start((root / "run/empty.sprites").string(), "empty.sprites");
    const QImage shot = Shot();
    const int top = ContentTop(shot);
    const QColor middle(shot.pixel(shot.width() / 2, top + (shot.height() - top) / 2));
    EXPECT_EQ(middle.red(), 51);
    EXPECT_EQ(middle.green(), 51);
    EXPECT_EQ(middle.blue(), 51);
    EXPECT_GT(Count(shot, {0, top, 250, 55}, Red), 50) << "the overlay's red text in the top panel";
}

TEST_F(EndToEnd, TheDemoWorldZoomsThrustsAndShowsItsTiles)
{
    // The demo bindings, as make run seeds them.
    ASSERT_EQ(std::system(("cd '" + (root / "run").string() + "' && '" + (kBuild / "tools/make-demo-config").string() +
                           "'")
                              .c_str()),
              0);
    Start("--demo", "demo.sprites");
    QImage shot = Shot();
    const int top = ContentTop(shot);
    const int cx = shot.width() / 2, cy = top + (shot.height() - top) / 2;
    const Area ship{cx - 40, cy - 40, 80, 80};
    const int shipPixels = Count(shot, ship, Bright);
    EXPECT_GT(shipPixels, 20) << "the ship in the middle";
    EXPECT_GT(Count(shot, {0, top, 250, 55}, Red), 50) << "the overlay's red text";

    Keys("ctrl+equal");
    Sleep(500);
    shot = Shot();
    EXPECT_GT(Count(shot, {cx - 60, cy - 60, 120, 120}, Bright), shipPixels * 3 / 2) << "zoomed in, the ship is larger";

    const QImage before = Shot();
    Keys("ctrl+g");
    Shell("xdotool keydown --window " + window + " Up");
    Sleep(1000);
    Shell("xdotool keyup --window " + window + " Up");
    Sleep(200);
    const QImage after = Shot();
    const Area world{0, top + 60, after.width(), after.height() - top - 100};
    int changed = 0;
    for (int y = world.y; y < world.y + world.height; y += 4)
        for (int x = world.x; x < world.width; x += 4)
            changed += before.pixel(x, y) != after.pixel(x, y);
    EXPECT_GT(changed, 1000) << "the world moved past the ship";
    EXPECT_GT(Count(after, {cx - 60, cy + 20, 120, 200}, Bright), 100) << "puffs behind the ship";

    Keys("ctrl+period ctrl+t");
    Sleep(500);
    EXPECT_GT(Count(Shot(), world, Green), 500) << "green tile outlines";
    Keys("ctrl+q");
    int status = -1;
    for (int i = 0; i < 50 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        Sleep(100);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "quits cleanly";
    pid = -1;
    EXPECT_EQ(fs::file_size(root / "run/ZV config"), 246u) << "the bindings were saved";
}

} // namespace
