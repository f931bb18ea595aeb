#pragma once

// Files replaced whole: written to a temporary file beside them that then
// takes their place, so that a reader sees the old file or the new one,
// never a part. The temporary file has a name no person gives a file
// (".vesk-save-" and six letters or digits), and is locked while it is
// written, so that what a save ended in the middle left behind is told from
// a save under way in another process and from the person's own files.

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace vesk {

// Writes `bytes` to `file` as above. A file that is there keeps its
// permissions (a person who closed it to others finds it closed still); a
// new one gets `mode`, less the umask. Throws std::system_error with the
// system's reason; then the file is as it was and no temporary file stays.
void writeAtomically(const std::filesystem::path& file, const std::string& bytes, mode_t mode = 0644);

// Removes from `folder` the temporary files of saves that ended before their
// file took its place; a save under way keeps its file.
void removeInterruptedSaves(const std::filesystem::path& folder);

} // namespace vesk
