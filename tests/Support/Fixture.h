#pragma once

#include <string>

namespace vesk::test {

// The text of a data file kept beside the tests, by its path under tests/
// (e.g. "BrowserCore/PageAgent/pages/form.html"). Throws std::runtime_error
// when it cannot be read.
std::string fixture(const std::string& path);

} // namespace vesk::test
