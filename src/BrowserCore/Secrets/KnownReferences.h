#pragma once

// Replacing the ${NAME} references of a text by the values a site knows,
// leaving the others as written.

#include <map>
#include <string>
#include <string_view>

namespace vesk {

// For each name the text references (${NAME} or ${NAME.field}), in order of
// first appearance, whose value `values` holds: every occurrence of that
// reference replaced by the value, literally. References to other names stay.
std::string replacingKnownReferences(std::string_view text, const std::map<std::string, std::string>& values);

} // namespace vesk
