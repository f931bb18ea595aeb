#pragma once

// The folder into which the session saves what pages download, and the
// names it gives the files there: safe (no path parts, no control
// characters), short enough for the file system, and never one handed out
// before or already on disk.

#include <cstddef>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vesk {

// The folder could not be made, or the file system refused a look-up; the
// text is the system's own description.
class DownloadFolderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class DownloadFolder {
public:
    // Longest file name, in bytes, that the file systems we save to accept
    // (255), less the suffix WebKit adds to the file while it is written.
    static constexpr std::size_t nameByteLimit = 255 - std::char_traits<char>::length(".wkdownload");
    // Longest name, in user-perceived characters, that a suggestion keeps.
    static constexpr std::size_t nameCharacterLimit = 120;

    explicit DownloadFolder(std::string path) : path_(std::move(path)) {}

    // A new folder "vesk-downloads-<UUID>" in the user's temporary folder;
    // not created on disk until a download needs it.
    static std::string temporaryDownloadFolder();

    const std::string& path() const { return path_; }
    // Every file name handed out so far.
    const std::set<std::string>& taken() const { return taken_; }

    // Makes the folder when missing and answers the full path of a new file
    // for the suggested name: its safe name, or that name with " 2", " 3"…
    // before the extension when the name is taken or a file of that name
    // exists. Throws DownloadFolderError.
    std::string destination(std::string_view suggested);

    // The suggested name reduced to a safe file name: its last path part
    // (backslashes count as slashes), without control characters, trimmed of
    // spaces and tabs, at most 120 characters and `nameByteLimit` bytes, keeping its
    // extension when cut; "download" when nothing usable is left.
    static std::string safeName(std::string_view suggested);

    // The name's base and extension, as file names split: the extension is
    // what follows the last dot, when that dot is not the first character
    // and what follows is not empty and holds no space.
    static std::pair<std::string, std::string> splitExtension(const std::string& name);

private:
    std::string path_;
    std::set<std::string> taken_;
};

} // namespace vesk
