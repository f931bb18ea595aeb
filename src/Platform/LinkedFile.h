#pragma once

// A file that may be a symbolic link, as a person who keeps a file in a
// folder of their own makes it: a save replaces the file the link leads to,
// in that file's folder, and the link stays.

#include <filesystem>
#include <string>

namespace vesk {

// The link leads to nothing (or round in a loop), or to something that is
// not a regular file: nothing can be saved through it.
struct BrokenLink {
    std::string target;  // what the link names, as it names it
    bool leadsNowhere = true;
};

// The file a save of `path` replaces: `path` itself when it is no symbolic
// link (or nothing is there), else the regular file its links lead to, by
// its path with no link in it. Throws BrokenLink.
std::filesystem::path linkedFile(const std::filesystem::path& path);

} // namespace vesk
