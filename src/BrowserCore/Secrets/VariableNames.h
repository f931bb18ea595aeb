#pragma once

// References to stored values in flow steps and filled text: "${NAME}", or
// "${NAME.field}" for a credential's user, password or current code.

#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// The text inside the braces of each reference, left to right, repeats
// included: "NAME" or "NAME.field". A name and a field each start with an
// ASCII letter or "_" followed by ASCII letters, digits or "_".
std::vector<std::string> variableNames(std::string_view text);

} // namespace vesk
