#pragma once

// An advisory lock on a file, held by one process at a time: every Vesk
// started by an agent runs as a process of its own, and each takes this lock
// around a change of the profiles file.

#include <chrono>
#include <filesystem>

namespace vesk {

class FileLock {
public:
    // Waits up to `patience` for the lock on `path`, made with its folder
    // when missing. Throws std::system_error when the file cannot be opened,
    // and FileLock::Busy when another process kept the lock all that time.
    FileLock(const std::filesystem::path& path, std::chrono::milliseconds patience);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    struct Busy {};

private:
    int descriptor_ = -1;
};

} // namespace vesk
