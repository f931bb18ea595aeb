#pragma once

// Reads a whole file that anyone may have put in place: only a regular file
// (a link to one is followed), and only up to a size far above that of any
// real document of ours, so that a pipe, a device or a huge file can neither
// block the program nor fill its memory.

#include <cstddef>
#include <filesystem>
#include <string>

namespace vesk {

// Far above any profiles, flow or settings file a person makes.
inline constexpr std::size_t largestReadableFile = 64 * 1024 * 1024;

struct FileContents {
    enum class Outcome { read, missing, unreadable };

    Outcome outcome = Outcome::missing;
    std::string bytes;    // when read
    std::string problem;  // when unreadable: why, as a clause ("it is not a regular file")

    bool wasRead() const { return outcome == Outcome::read; }
};

// Nothing at the path (or a link to nothing) is missing; a folder, a pipe, a
// device, a file larger than `limit` or one that cannot be opened is
// unreadable.
FileContents readRegularFile(const std::filesystem::path& path, std::size_t limit = largestReadableFile);

} // namespace vesk
