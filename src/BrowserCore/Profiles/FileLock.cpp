#include "BrowserCore/Profiles/FileLock.h"

#include "Platform/Async.h"

#include <glib.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace vesk {

namespace {

// The holder keeps the lock only while it rewrites one small file.
constexpr std::chrono::milliseconds retryInterval{10};

} // namespace

Task<std::unique_ptr<FileLock>> FileLock::take(std::filesystem::path path, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    if (g_mkdir_with_parents(path.parent_path().c_str(), 0700) != 0) {
        throw std::system_error(errno, std::generic_category(), "Could not make the folder " + path.parent_path().string());
    }
    int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    if (descriptor < 0) throw std::system_error(errno, std::generic_category(), "Could not open " + path.string());
    std::unique_ptr<FileLock> lock(new FileLock(descriptor));
    while (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR) continue;
        if (error != EWOULDBLOCK) {
            throw std::system_error(error, std::generic_category(), "Could not lock " + path.string());
        }
        if (std::chrono::steady_clock::now() >= deadline) throw Busy{};
        co_await sleepFor(retryInterval);
    }
    co_return lock;
}

FileLock::~FileLock() { ::close(descriptor_); }

} // namespace vesk
