// Frame benchmark: opens a sprite file in a window of the requested size and
// runs frame-timer ticks back to back (no swap interval, no input), then
// prints the frame rate and the median and 99th-percentile frame times.
//
//   frame-bench [--size WxH] [--ticks N | --seconds S] [--zoom Z] [--no-info] SPRITE_FILE
//   frame-bench [--size WxH] [--ticks N | --seconds S] [--no-info] --stress FOLDER
//
// --stress writes FOLDER/stress.sprites (1,000 drifting sprites over a tiled
// star field, with the demo world's images) and runs it at zoom 0.1.
// --seconds runs for that long after half a second of warming up, instead of
// a number of ticks. --no-info turns the information overlay off. The last
// line of the output is for scripts: "frames F seconds S fps R p50 M p99 N
// cpu C" (frame times and processor time a frame, all threads, in
// milliseconds).
#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "App_Shell.h"
#include "Config_File.h"
#include "Host_Files.h"
#include "Host_GL_Hooks.h"
#include "Sprite_Window.h"

namespace {

std::string gSpriteFile;

bool ChooseGivenFile(std::string* path)
{
    *path = gSpriteFile;
    return true;
}

// Writes the stress world beside copies of the demo images.
std::string WriteStressWorld(const std::string& folder)
{
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    const fs::path demo = fs::path(STARDRIFT_SOURCE_DIR) / "data" / "demo";
    const char* images[] = {"ship.png", "stars.png", "planet.png", "smoke.png", "mars.png", "asteroid.png"};
    const int masks[] = {1, 0, 3, 2, 3, 3};
    for (const char* image : images)
        fs::copy_file(demo / image, fs::path(folder) / image, fs::copy_options::overwrite_existing);
    const std::string path = (fs::path(folder) / "stress.sprites").string();
    std::ofstream out(path);
    out << "6\n";
    for (int i = 0; i < 6; ++i)
        out << masks[i] << "\n" << images[i] << "\n";
    const int drifting = 1000;
    out << 2 + drifting << "\n";
    auto sprite = [&](int image, double x, double y, double z, double rotation, double zoom, double vx, double vy,
                      int tiled, int test, int blend, int input) {
        out << image << "\n"
            << x << "\n"
            << y << "\n"
            << z << "\n"
            << rotation << "\n"
            << zoom << "\n"
            << vx << "\n"
            << vy << "\n0\n1\n1\n1\n1\n"
            << tiled << "\n"
            << test << "\n"
            << blend << "\n"
            << input << "\n";
    };
    sprite(0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1);    // the ship
    sprite(1, 0, 0, -900, 0, 1, 0, 0, 2, 0, 0, 0); // the tiled star field
    std::mt19937 random(7);
    std::uniform_real_distribution<double> place(-6000, 6000), speed(-80, 80), turn(0, 360);
    const int kinds[] = {2, 4, 5, 5, 5};
    for (int i = 0; i < drifting; ++i)
        sprite(kinds[i % 5], place(random), place(random), -10 - i % 800, turn(random), 0.3 + (i % 7) * 0.1,
               speed(random), speed(random), 0, 0, 1, 0);
    return path;
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

// Processor time of the whole process, the renderer's threads included.
double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

int Usage()
{
    std::fprintf(stderr, "usage: frame-bench [--size WxH] [--ticks N | --seconds S] [--zoom Z] [--no-info] "
                         "(SPRITE_FILE | --stress FOLDER)\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    int width = 800, height = 600, ticks = 600;
    double zoom = 0, runSeconds = 0;
    bool info = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 64 || height < 48)
                return Usage();
        } else if (arg == "--ticks" && i + 1 < argc) {
            ticks = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--seconds" && i + 1 < argc) {
            runSeconds = std::atof(argv[++i]);
            if (!(runSeconds > 0 && runSeconds < 3600))
                return Usage();
        } else if (arg == "--no-info") {
            info = false;
        } else if (arg == "--zoom" && i + 1 < argc) {
            zoom = std::atof(argv[++i]);
        } else if (arg == "--stress" && i + 1 < argc) {
            gSpriteFile = WriteStressWorld(argv[++i]);
            if (zoom == 0)
                zoom = 0.1;
        } else if (arg[0] != '-' && gSpriteFile.empty()) {
            gSpriteFile = arg;
        } else {
            return Usage();
        }
    }
    if (gSpriteFile.empty())
        return Usage();

    QApplication application(argc, argv);
    FixtureSetSwapInterval(0);
    HostSetFileChooser(ChooseGivenFile);
    // The bindings of a benchmark run are kept in a folder of its own, removed
    // at the end, so that no run reads or writes the bindings file where it runs.
    std::string bindingsFolder = (std::filesystem::temp_directory_path() / "frame-bench-XXXXXX").string();
    if (!mkdtemp(bindingsFolder.data())) {
        std::perror("frame-bench: no temporary folder for the bindings");
        return 1;
    }
    gConfigFilePath = bindingsFolder + "/bindings";
    if (StartApplication() != noErr) {
        std::filesystem::remove_all(bindingsFolder);
        return 1;
    }
    WindowRef window = FrontWindow();
    recWindow* record = window ? static_cast<recWindow*>(GetWRefCon(window)) : nullptr;
    if (!record) {
        std::fprintf(stderr, "frame-bench: could not open %s\n", gSpriteFile.c_str());
        return 1;
    }
    QElapsedTimer wait;
    wait.start();
    Rect bounds{};
    do {
        SizeWindow(window, int16_t(width), int16_t(height), true);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        GetWindowPortBounds(window, &bounds);
    } while ((!record->aglContext || bounds.right != width || bounds.bottom != height) && wait.elapsed() < 5000);
    if (!record->aglContext) {
        std::fprintf(stderr, "frame-bench: the window got no GL context\n");
        return 1;
    }
    if (zoom > 0)
        record->zoom = float(zoom);
    record->info = info;

    using Clock = std::chrono::steady_clock;
    std::vector<double> frameMs;
    frameMs.reserve(size_t(ticks) * 2);
    // One tick of the frame timer: the step, which draws a frame, and the
    // frame drawn after it.
    auto tick = [&](bool count) {
        const auto t0 = Clock::now();
        IdleWindow(window, 0, 0, false, false);
        const auto t1 = Clock::now();
        DrawGL(window);
        const auto t2 = Clock::now();
        if (count) {
            frameMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            frameMs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        }
        QCoreApplication::processEvents();
    };
    IdleWindow(window, 0, 0, false, false); // the first step only starts the clock
    if (runSeconds > 0) {
        for (const auto warm = Clock::now(); Clock::now() - warm < std::chrono::milliseconds(500);)
            tick(false);
    }
    const double cpuStart = ProcessCpuSeconds();
    const auto start = Clock::now();
    const auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    int ran = 0;
    for (; runSeconds > 0 ? elapsed() < runSeconds : ran < ticks; ++ran)
        tick(true);
    ticks = ran;
    const double seconds = elapsed();
    const double cpuMsPerFrame =
        (ProcessCpuSeconds() - cpuStart) * 1000.0 / double(std::max<size_t>(1, frameMs.size()));
    std::printf("%s at %d x %d, zoom %.2f, %d sprites: %d ticks, %zu frames in %.2f s\n", gSpriteFile.c_str(),
                bounds.right, bounds.bottom, double(record->zoom), int(record->numSprites), ticks, frameMs.size(),
                seconds);
    const double rate = double(frameMs.size()) / seconds;
    const double p50 = Percentile(frameMs, 0.5), p99 = Percentile(frameMs, 0.99);
    std::printf("%.1f frames per second, frame time median %.2f ms, 99th percentile %.2f ms\n", rate, p50, p99);
    std::printf("processor time %.3f ms a frame, all threads\n", cpuMsPerFrame);
    std::printf("frames %zu seconds %.3f fps %.1f p50 %.3f p99 %.3f cpu %.3f\n", frameMs.size(), seconds, rate, p50,
                p99, cpuMsPerFrame);
    HostSendCommand(FourCC("quit"));
    StopApplication();
    std::filesystem::remove_all(bindingsFolder);
    return 0;
}
