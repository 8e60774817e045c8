#include "Host_Time.h"

#include "Host_Seam_State.h"

#include <chrono>

namespace {

AbsoluteTime SteadyNow()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<AbsoluteTime>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
}

} // namespace

HostUpTimeSource gUpTimeSource = nullptr;

AbsoluteTime UpTime()
{
    return gUpTimeSource ? gUpTimeSource() : SteadyNow();
}

Duration AbsoluteDeltaToDuration(AbsoluteTime leftTime, AbsoluteTime rightTime)
{
    if (leftTime <= rightTime)
        return 0;
    const uint64_t nanoseconds = leftTime - rightTime;
    const uint64_t microseconds = nanoseconds / 1000u;
    if (microseconds <= uint64_t(INT32_MAX))
        return -static_cast<Duration>(microseconds);
    const uint64_t milliseconds = nanoseconds / 1000000u;
    if (milliseconds < uint64_t(durationForever))
        return static_cast<Duration>(milliseconds);
    return durationForever;
}
