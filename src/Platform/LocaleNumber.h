#pragma once

// Numbers as the person reads and types them: in the decimal format of the
// current numeric locale (its decimal separator and digit grouping), looked
// up afresh on every call so that a change of locale is followed.

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// At most one digit after the decimal separator, none when the number is
// whole. `locale` (a POSIX name such as "de_DE.UTF-8") stands in for the
// current numeric locale when given.
std::string formatLocaleNumber(double value, const char* locale = nullptr);

// The whole text, blanks at either end aside, read as a number of the locale;
// none when it is not one.
std::optional<double> parseLocaleNumber(std::string_view text, const char* locale = nullptr);

} // namespace vesk
