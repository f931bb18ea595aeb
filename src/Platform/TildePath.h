#pragma once

// A path as the program shows it to the agent: the user's home folder
// written as "~".

#include <filesystem>
#include <string>

namespace vesk {

// "~" for the home folder itself, "~/…" for what lies in it; any other path,
// and every path when the home folder is "/" or unknown, as it is.
std::string tildePath(const std::filesystem::path& path);

} // namespace vesk
