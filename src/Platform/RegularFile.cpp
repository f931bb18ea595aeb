#include "Platform/RegularFile.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesk {

namespace {

FileContents unreadable(std::string problem) {
    return {FileContents::Outcome::unreadable, {}, std::move(problem)};
}

FileContents unreadable(int error) { return unreadable(g_strerror(error)); }

std::string tooLarge(std::size_t limit) {
    constexpr std::size_t mebibyte = 1024 * 1024;
    return "it is larger than " +
           (limit % mebibyte == 0 ? std::to_string(limit / mebibyte) + " MiB" : std::to_string(limit) + " bytes");
}

// Why a file of this kind and size is not read, or empty when it may be.
std::string refusal(const struct stat& status, std::size_t limit) {
    if (!S_ISREG(status.st_mode)) return "it is not a regular file";
    if (static_cast<std::uintmax_t>(status.st_size) > limit) return tooLarge(limit);
    return {};
}

} // namespace

FileContents readRegularFile(const std::filesystem::path& path, std::size_t limit) {
    // Looked at before it is opened: opening a device or a pipe may itself
    // wait or have effects.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return {};
        return unreadable(errno);
    }
    if (auto why = refusal(status, limit); !why.empty()) return unreadable(why);

    // Whatever took its place since is looked at again through the
    // descriptor; without blocking, a pipe cannot hold the open.
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) return errno == ENOENT ? FileContents{} : unreadable(errno);
    FileContents contents{FileContents::Outcome::read, {}, {}};
    if (::fstat(descriptor, &status) != 0) {
        contents = unreadable(errno);
    } else if (auto why = refusal(status, limit); !why.empty()) {
        contents = unreadable(why);
    } else {
        // One byte past the limit tells a file that grew meanwhile.
        contents.bytes.resize(static_cast<std::size_t>(status.st_size) + 1);
        std::size_t length = 0;
        while (contents.wasRead()) {
            if (length == contents.bytes.size()) {
                if (length > limit) {
                    contents = unreadable(tooLarge(limit));
                    break;
                }
                contents.bytes.resize(std::min(limit + 1, length * 2 + 4096));
            }
            ssize_t count = ::read(descriptor, contents.bytes.data() + length, contents.bytes.size() - length);
            if (count > 0) {
                length += static_cast<std::size_t>(count);
            } else if (count == 0) {
                contents.bytes.resize(length);
                break;
            } else if (errno != EINTR) {
                contents = unreadable(errno);
            }
        }
    }
    ::close(descriptor);
    return contents;
}

} // namespace vesk
