// HID benchmark on a game pad mocked with umockdev: the time to build the
// device list and the cost of one HIDGetElementValue, with no event pending
// (the common case in a tick) and right after events arrived, and what
// watching for devices coming and going costs an event loop that ticks
// without pause while nothing changes.
//
//   umockdev-wrapper build/tools/hid-bench
#include <umockdev.h>

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "HID_Devices_External.h"
#include "Host_Device_Watch.h"

namespace {

using Clock = std::chrono::steady_clock;
const std::string kData = STARDRIFT_SOURCE_DIR "/tests/data/umockdev/";

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    if (!std::getenv("LD_PRELOAD")) {
        std::fprintf(stderr, "hid-bench: run it under umockdev-wrapper\n");
        return 2;
    }
    UMockdevTestbed* testbed = umockdev_testbed_new();
    GError* error = nullptr;
    gchar* text = nullptr;
    if (!g_file_get_contents((kData + "devices.umockdev").c_str(), &text, nullptr, &error) ||
        !umockdev_testbed_add_from_string(testbed, text, &error) ||
        !umockdev_testbed_load_ioctl(testbed, "/dev/input/event3", (kData + "gamepad.ioctl").c_str(), &error) ||
        !umockdev_testbed_load_ioctl(testbed, "/dev/input/event1", (kData + "keyboard.ioctl").c_str(), &error)) {
        std::fprintf(stderr, "hid-bench: %s\n", error ? error->message : "no testbed");
        return 1;
    }
    g_free(text);

    std::vector<double> builds;
    for (int i = 0; i < 20; ++i) {
        const auto start = Clock::now();
        HIDBuildDeviceList(0, 0);
        builds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("building the list of %u devices: median %.2f ms\n", unsigned(HIDCountDevices()), Median(builds));

    pRecDevice pad = HIDGetFirstDevice();
    while (pad && std::string(pad->product) != "Test Gamepad")
        pad = HIDGetNextDevice(pad);
    pRecElement x = pad ? HIDGetFirstDeviceElement(pad, kHIDElementTypeInput) : nullptr;
    if (!x) {
        std::fprintf(stderr, "hid-bench: no mocked pad\n");
        return 1;
    }
    const int calls = 200000;
    long long sum = 0;
    auto start = Clock::now();
    for (int i = 0; i < calls; ++i)
        sum += HIDGetElementValue(pad, x);
    const double idle = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / calls;
    std::printf("HIDGetElementValue, nothing pending: %.3f us a call (%d calls)\n", idle, calls);

    // Twenty frames of the X axis and a button, 30 ms apart.
    const std::string events = std::string(g_get_tmp_dir()) + "/hid-bench.evemu";
    if (FILE* file = std::fopen(events.c_str(), "w")) {
        std::fprintf(file, "# EVEMU 1.3\n");
        for (int i = 0; i < 20; ++i)
            std::fprintf(file, "E: %d.%06d 0003 0000 %d\nE: %d.%06d 0001 0130 %d\nE: %d.%06d 0000 0000 0\n", 0,
                         30000 * (i + 1), 100 + i, 0, 30000 * (i + 1), i % 2, 0, 30000 * (i + 1));
        std::fclose(file);
    }
    umockdev_testbed_load_evemu_events(testbed, "/dev/input/event3", events.c_str(), &error);
    std::vector<double> afterEvents;
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        start = Clock::now();
        sum += HIDGetElementValue(pad, x);
        afterEvents.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::printf("HIDGetElementValue, one frame of events pending: median %.1f us\n", Median(afterEvents));

    // Ticks of a timer that fires whenever the loop is idle (as the frame
    // timer does), each reading the element, for half a second at a time,
    // with and without the device watch in the loop.
    QCoreApplication application(argc, argv);
    std::vector<double> unwatched, watched;
    for (int round = 0; round < 10; ++round) {
        const bool watch = round % 2;
        if (watch && !HostWatchDevices([] {})) {
            std::fprintf(stderr, "hid-bench: no device watch\n");
            return 1;
        }
        long ticks = 0;
        QTimer tick;
        tick.setInterval(0);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            sum += HIDGetElementValue(pad, x);
            ++ticks;
        });
        QTimer::singleShot(500, [] { QCoreApplication::quit(); });
        start = Clock::now();
        tick.start();
        QCoreApplication::exec();
        const double perTick = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / double(ticks);
        (watch ? watched : unwatched).push_back(perTick);
        HostStopWatchingDevices();
    }
    std::printf("a tick of the idle event loop: median %.3f us without the device watch, %.3f us with it\n",
                Median(unwatched), Median(watched));
    HIDReleaseDeviceList();
    g_object_unref(testbed);
    return sum == -1 ? 1 : 0;
}
