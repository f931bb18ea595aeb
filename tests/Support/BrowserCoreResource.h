#pragma once

#include <string>

namespace vesk::test {

// The text of a file compiled into the BrowserCore resource bundle, such as
// "console.js". Throws std::runtime_error when it is missing.
std::string browserCoreResource(const std::string& name);

} // namespace vesk::test
