#pragma once

// The order in which a person expects names listed, as a file browser shows
// them: letters compared without regard to case first, runs of digits by
// their value ("flow 2" before "flow 10"). The same under every process
// locale, the C locale included.

#include <string_view>

namespace vesk::text {

// Negative, zero or positive as `a` sorts before, with, or after `b`. Only
// texts with the same bytes sort together.
int naturalCompare(std::string_view a, std::string_view b);

inline bool naturalLess(std::string_view a, std::string_view b) { return naturalCompare(a, b) < 0; }

} // namespace vesk::text
