#pragma once

// What a recording keeps of a value the person typed: a stored value is
// kept as its ${NAME}, and a password field never keeps what was typed.

#include <map>
#include <string>
#include <string_view>

namespace vesk {

// `siteValues` are the values usable on the page's site, by name. A typed
// value equal to one of them (the longest first, then by name) becomes its
// ${NAME}; otherwise a secret field gives "${PASSWORD}"; otherwise each value
// of 4 characters or more that is not a one-time code is replaced by its
// ${NAME} wherever it occurs, longest first, except inside a reference to one
// of these values typed as written.
std::string maskTypedValue(std::string_view value, bool secret, const std::map<std::string, std::string>& siteValues);

} // namespace vesk
