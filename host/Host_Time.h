// The uptime clock: a monotonic count of nanoseconds and the conversion of an
// interval into a duration count.
#pragma once

#include <cstdint>

// An instant of the uptime clock, in nanoseconds of a monotonic clock.
using AbsoluteTime = uint64_t;

// A duration count: positive values are milliseconds, negative values
// microseconds, 0 is no time at all.
using Duration = int32_t;

constexpr Duration durationMillisecond = 1;
constexpr Duration durationMicrosecond = -1;
constexpr Duration durationForever = INT32_MAX;

// The current instant.
AbsoluteTime UpTime();

// The time from rightTime to leftTime (leftTime - rightTime) as a duration
// count: in microseconds while that fits, otherwise in milliseconds, and
// durationForever beyond that. An interval that runs backwards gives 0.
Duration AbsoluteDeltaToDuration(AbsoluteTime leftTime, AbsoluteTime rightTime);

// A duration count in seconds. Takes a double so that a caller can hand it
// the count after a rounding of its own.
inline double HostDurationSeconds(double duration)
{
    return duration < 0 ? duration / -1000000.0 : duration / 1000.0;
}
