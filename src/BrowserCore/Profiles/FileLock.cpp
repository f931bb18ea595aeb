#include "BrowserCore/Profiles/FileLock.h"

#include <glib.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace vesk {

FileLock::FileLock(const std::filesystem::path& path, std::chrono::milliseconds patience) {
    if (g_mkdir_with_parents(path.parent_path().c_str(), 0700) != 0) {
        throw std::system_error(errno, std::generic_category(), "Could not make the folder " + path.parent_path().string());
    }
    descriptor_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor_ < 0) {
        throw std::system_error(errno, std::generic_category(), "Could not open " + path.string());
    }
    // The holder keeps the lock only while it rewrites one small file, so a
    // short wait on this thread is the simplest fair course.
    auto deadline = std::chrono::steady_clock::now() + patience;
    while (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            ::close(descriptor_);
            throw Busy{};
        }
        g_usleep(5000);
    }
}

FileLock::~FileLock() {
    // Closing the descriptor releases the lock.
    ::close(descriptor_);
}

} // namespace vesk
