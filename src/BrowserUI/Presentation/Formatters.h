#pragma once

// The step count and duration texts of every view. The durations are written
// without the locale: a German locale still shows "1.5 s" and "1:05".

#include "Platform/Clock.h"

#include <cstdint>
#include <string>

namespace vesk::ui {

// "%lld steps" from the catalog, with the count.
std::string formatStepCount(std::int64_t count);

// Whole minutes, a colon and two-digit seconds: 75 minutes 3 seconds give
// "75:03"; a negative duration gives "0:00".
std::string formatMinutesSeconds(Duration duration);

// Whole milliseconds and " ms" below one second (rounded half away from
// zero), else seconds with one decimal and " s".
std::string formatShortDuration(double seconds);

} // namespace vesk::ui
