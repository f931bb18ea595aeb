#include "Platform/TildePath.h"

#include <glib.h>

namespace vesk {

std::string tildePath(const std::filesystem::path& path) {
    const std::string full = path.string();
    const std::string home = g_get_home_dir();
    if (home.empty() || home == "/") return full;
    if (full == home) return "~";
    if (full.starts_with(home) && full[home.size()] == '/') return "~" + full.substr(home.size());
    return full;
}

} // namespace vesk
