// Times the alpha mask routines on a 4096 x 4096 32-bit buffer against a
// memcpy of the same buffer. Prints the median of several runs of each and
// the ratio to memcpy.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "OpenGL_Image_Utilities.h"

namespace {

constexpr uint32_t kSide = 4096;
constexpr uint32_t kPixels = kSide * kSide;
constexpr int kRuns = 15;

double MedianMs(const std::function<void()>& work, const std::function<void()>& reset)
{
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        reset();
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main()
{
    std::vector<uint32_t> source(kPixels), buffer(kPixels), copy(kPixels);
    uint32_t seed = 12345;
    for (uint32_t& p : source) {
        seed = seed * 1664525u + 1013904223u;
        p = (seed & 7) == 0 ? 0x0000FF00u : seed; // some pure green for the colour key
    }
    auto* bytes = reinterpret_cast<unsigned char*>(buffer.data());
    const auto reset = [&] { std::memcpy(buffer.data(), source.data(), kPixels * 4); };

    const double copyMs = MedianMs([&] { std::memcpy(copy.data(), buffer.data(), kPixels * 4); }, reset);
    struct Routine {
        const char* name;
        void (*fn)(unsigned char*, uint32_t, uint32_t);
    };
    const Routine routines[] = {{"SetAlphaToOpaque", SetAlphaToOpaque},
                                {"SetAlphaMaskSourceColor", SetAlphaMaskSourceColor},
                                {"SetAlphaBlendLuminance", SetAlphaBlendLuminance}};
    std::printf("4096 x 4096 32-bit buffer (64 MiB), median of %d runs\n", kRuns);
    std::printf("%-26s %8.2f ms\n", "memcpy", copyMs);
    int failures = 0;
    for (const Routine& r : routines) {
        const double ms = MedianMs([&] { r.fn(bytes, kPixels, 32); }, reset);
        const double ratio = ms / copyMs;
        std::printf("%-26s %8.2f ms  %.2fx memcpy%s\n", r.name, ms, ratio, ratio > 2.0 ? "  (over 2x)" : "");
        failures += ratio > 2.0;
    }
    std::printf("checksum %08x\n", buffer[kPixels / 2] ^ copy[7]);
    return failures ? 1 : 0;
}
