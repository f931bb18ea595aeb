#include "Platform/AtomicFile.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vesk {

namespace {

// Short, so that a file of any name the folder takes can be written.
constexpr std::string_view temporaryPrefix = ".vesk-save-";

// The prefix and the six letters or digits g_mkstemp puts in place of "XXXXXX".
bool isTemporaryName(const std::string& name) {
    if (name.size() != temporaryPrefix.size() + 6 || !name.starts_with(temporaryPrefix)) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(temporaryPrefix.size()), name.end(),
                       [](char c) { return g_ascii_isalnum(c); });
}

[[noreturn]] void fail(int error, const std::filesystem::path& file) {
    throw std::system_error(error, std::generic_category(), "Could not write " + file.string());
}

} // namespace

void writeAtomically(const std::filesystem::path& file, const std::string& bytes, mode_t mode) {
    // The file's own permissions, given to the temporary file from its making
    // (the umask may only take some away, which fchmod then gives back), so
    // that the text is never open to more than the file was.
    struct stat existing {};
    const bool keepsMode = ::stat(file.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    if (keepsMode) mode = existing.st_mode & 0777;
    std::string temporary;
    int fd = -1;
    // Another process's sweep may take the file between its making and its
    // lock: then it is made again.
    for (bool swept = true; swept;) {
        temporary = (file.parent_path() / (std::string(temporaryPrefix) + "XXXXXX")).string();
        fd = g_mkstemp_full(temporary.data(), O_WRONLY | O_CLOEXEC, static_cast<int>(mode));
        // The folder is what refuses here (read-only, full, not this user's): it is named.
        if (fd < 0) {
            throw std::system_error(errno, std::generic_category(),
                                    "No file could be made in the folder " + file.parent_path().string() + " to save " +
                                        file.string());
        }
        ::flock(fd, LOCK_EX);
        struct stat status {};
        swept = ::fstat(fd, &status) == 0 && status.st_nlink == 0;
        if (swept) ::close(fd);
    }
    int error = 0;
    if (keepsMode && ::fchmod(fd, mode) != 0) error = errno;
    for (std::size_t written = 0; written < bytes.size() && error == 0;) {
        ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count >= 0) {
            written += static_cast<std::size_t>(count);
        } else if (errno != EINTR) {
            error = errno;
        }
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), file.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        fail(error, file);
    }
}

void removeInterruptedSaves(const std::filesystem::path& folder) {
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        if (!isTemporaryName(entry->path().filename().string())) continue;
        int fd = ::open(entry->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) continue;
        struct stat status {};
        if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(entry->path().c_str());
        }
        ::close(fd);
    }
}

} // namespace vesk
