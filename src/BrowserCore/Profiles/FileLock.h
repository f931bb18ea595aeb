#pragma once

// An advisory lock on a file, held by one process at a time: every Vesk
// started by an agent runs as a process of its own, and each takes this lock
// around a change of the profiles file.

#include "Platform/Task.h"

#include <chrono>
#include <filesystem>
#include <memory>

namespace vesk {

class FileLock {
public:
    // Takes the lock on `path`, made with its folder when missing, without
    // holding up the main loop: tried at once, then again every few
    // milliseconds until `patience` has passed. Throws FileLock::Busy when
    // another process kept the lock all that time, std::system_error when
    // the file cannot be made or opened or the lock fails for another reason
    // (a file system without locks: ENOLCK), and CancellationError when the
    // task is cancelled while it waits.
    static Task<std::unique_ptr<FileLock>> take(std::filesystem::path path, std::chrono::milliseconds patience);

    // Closing the descriptor releases the lock.
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    struct Busy {};

private:
    explicit FileLock(int descriptor) : descriptor_(descriptor) {}

    int descriptor_;
};

} // namespace vesk
