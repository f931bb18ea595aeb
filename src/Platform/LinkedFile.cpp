#include "Platform/LinkedFile.h"

#include <glib.h>

#include <sys/stat.h>
#include <system_error>

namespace vesk {

std::filesystem::path linkedFile(const std::filesystem::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    BrokenLink broken;
    if (gchar* target = g_file_read_link(path.c_str(), nullptr)) {
        broken.target = target;
        g_free(target);
    }
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::canonical(path, error);
    if (error) throw broken;
    if (::stat(resolved.c_str(), &status) != 0) throw broken;
    if (!S_ISREG(status.st_mode)) {
        broken.leadsNowhere = false;
        throw broken;
    }
    return resolved;
}

} // namespace vesk
