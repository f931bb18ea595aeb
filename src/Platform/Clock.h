#pragma once

#include <chrono>

namespace vesk {

// Durations are kept in nanoseconds so that sums stay exact; the continuous
// clock is the monotonic one, the wall clock is only for one-time codes.
using Duration = std::chrono::nanoseconds;
using Clock = std::chrono::steady_clock;
using Instant = Clock::time_point;

constexpr Duration seconds(double s) {
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(s));
}
constexpr Duration milliseconds(double ms) {
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double, std::milli>(ms));
}
constexpr double toSeconds(Duration d) {
    return std::chrono::duration<double>(d).count();
}
constexpr double toMilliseconds(Duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace vesk
