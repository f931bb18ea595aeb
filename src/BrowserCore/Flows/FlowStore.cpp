#include "BrowserCore/Flows/FlowStore.h"

#include "BrowserCore/Flows/FlowFileName.h"
#include "Platform/RegularFile.h"
#include "Platform/TextOrder.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <numeric>
#include <system_error>

namespace vesk {

namespace {

using Path = FlowStore::Path;

std::optional<std::string> readFile(const Path& file) {
    FileContents contents = readRegularFile(file);
    if (!contents.wasRead()) return std::nullopt;
    return std::move(contents.bytes);
}

std::optional<Flow> readFlow(const Path& file) {
    auto bytes = readFile(file);
    if (!bytes) return std::nullopt;
    try {
        return Flow::decoded(*bytes);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

[[noreturn]] void failWith(const std::string& action, int error) {
    throw FlowStoreError::fileSystem(action, g_strerror(error));
}

constexpr std::string_view temporaryPrefix = ".flow-";

// Whether a file name is that of a temporary file of a save: the prefix and
// the six letters or digits that g_mkstemp puts in place of "XXXXXX".
bool isTemporaryName(const std::string& name) {
    if (name.size() != temporaryPrefix.size() + 6 || !name.starts_with(temporaryPrefix)) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(temporaryPrefix.size()), name.end(),
                       [](char c) { return g_ascii_isalnum(c); });
}

// Written whole to a temporary file beside it, then moved into place, so that
// the file holds either the old flow or the new one. The temporary file's
// name is short, so that any name the folder takes can be written this way.
// It is locked while it is written, so that another Vesk starting on the
// same folder tells it from one that an ended save left behind.
void writeAtomically(const Path& file, const std::string& bytes) {
    const std::string action = "Could not write " + file.string();
    std::string temporary = (file.parent_path() / (std::string(temporaryPrefix) + "XXXXXX")).string();
    int fd = g_mkstemp_full(temporary.data(), O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) failWith(action, errno);
    ::flock(fd, LOCK_EX);
    int error = 0;
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
        failWith(action, error);
    }
}

// The folder as an absolute path in normal form, without a trailing separator.
Path standardized(const Path& folder) {
    std::error_code ignored;
    Path absolute = std::filesystem::absolute(folder, ignored).lexically_normal();
    if (!absolute.has_filename() && absolute != absolute.root_path()) absolute = absolute.parent_path();
    return absolute;
}

// Removes the temporary files of saves that ended before their file took its
// place; a file that another process is writing now is locked and stays.
void removeLeftoverTemporaries(const Path& folder) {
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

Path chosenOrDefault(const UserDefaults& defaults) {
    if (auto stored = defaults.string(FlowStore::directoryKey)) {
        Path chosen(*stored);
        std::error_code ignored;
        // A folder that vanished or was never one leaves the default in use;
        // the stored path stays until the next choice replaces it.
        if (chosen.is_absolute() && std::filesystem::is_directory(chosen, ignored)) return chosen;
    }
    return FlowStore::standardDirectory();
}

} // namespace

Path FlowStore::standardDirectory() { return Path(g_get_user_data_dir()) / "Vesk" / "Flows"; }

FlowStore::FlowStore(UserDefaults& defaults)
    : defaults_(&defaults), directory_(chosenOrDefault(defaults)), defaultDirectory_(standardDirectory()) {
    removeLeftoverTemporaries(directory());
    reload();
}

FlowStore::FlowStore(Path directory, Path defaultDirectory)
    : directory_(std::move(directory)), defaultDirectory_(std::move(defaultDirectory)) {
    removeLeftoverTemporaries(this->directory());
    reload();
}

void FlowStore::reload() {
    struct Listed {
        Flow flow;
        Path file;
    };
    std::vector<Listed> listed;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory(), error), end; !error && entry != end;
         entry.increment(error)) {
        const Path& file = entry->path();
        if (file.extension() != ".json") continue;
        if (auto flow = readFlow(file)) listed.push_back({std::move(*flow), file});
    }
    // Two files may hold flows of one name: the file's name orders them, so
    // that the same folder always lists alike.
    std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        int order = text::standardCompare(a.flow.name, b.flow.name);
        return order != 0 ? order < 0 : a.file.filename() < b.file.filename();
    });
    std::vector<Flow> flows;
    files_.clear();
    for (auto& entry : listed) {
        flows.push_back(std::move(entry.flow));
        files_.push_back(std::move(entry.file));
    }
    flows_.set(std::move(flows));
}

std::optional<Flow> FlowStore::flowNamed(const std::string& name) const {
    for (const auto& flow : flows()) {
        if (flow.name == name) return flow;
    }
    return std::nullopt;
}

std::optional<Path> FlowStore::fileOf(const Flow& flow) const {
    const auto& listed = flows();
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (listed[i] == flow) return files_[i];
    }
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (listed[i].name == flow.name) return files_[i];
    }
    return std::nullopt;
}

FlowStore::Saved FlowStore::write(const Flow& flow, const Path& file) {
    const Path folder = file.parent_path();
    if (g_mkdir_with_parents(folder.c_str(), 0755) != 0) failWith("Could not make the flows folder " + folder.string(), errno);

    Saved saved{file, std::nullopt};
    GStatBuf status;
    if (g_lstat(file.c_str(), &status) == 0) {
        auto old = readFlow(file);
        if (!old) throw FlowStoreError::notAFlow(file.filename().string());
        if (old->name != flow.name) saved.replacedName = old->name;
    } else if (errno != ENOENT) {
        failWith("Could not save the flow as " + file.string(), errno);
    }
    writeAtomically(file, flow.encoded());
    reload();
    return saved;
}

FlowStore::Saved FlowStore::save(const Flow& flow) { return write(flow, directory() / flowFileName(flow.name)); }

FlowStore::Repaired FlowStore::saveRepaired(const Flow& flow) {
    if (standardized(directory()) == standardized(defaultDirectory_)) {
        Flow copy = flow;
        copy.name += " (repaired)";
        Saved saved = save(copy);
        return {saved.file, true, saved.replacedName};
    }
    Path file = fileOf(flow).value_or(directory() / flowFileName(flow.name));
    Saved saved = write(flow, file);
    return {saved.file, false, saved.replacedName};
}

void FlowStore::remove(const Flow& flow) {
    Path file;
    if (auto listed = fileOf(flow)) {
        file = *listed;
    } else {
        // Not listed: the file of its name, but only when that file holds it.
        file = directory() / flowFileName(flow.name);
        auto held = readFlow(file);
        if (!held || held->name != flow.name) {
            throw FlowStoreError::fileSystem("Could not delete the flow \"" + flow.name + "\"",
                                             "no file in the flows folder holds it");
        }
    }
    if (::unlink(file.c_str()) != 0) failWith("Could not delete " + file.string(), errno);
    reload();
}

void FlowStore::useDirectory(Path folder) {
    Path chosen = standardized(folder);
    if (defaults_) {
        // The key file holds text: a path that is not UTF-8 is not kept, and
        // the next launch uses the default folder.
        const std::string text = chosen.string();
        if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
            defaults_->setString(directoryKey, text);
        } else {
            defaults_->remove(directoryKey);
        }
    }
    directory_.set(std::move(chosen));
    reload();
}

} // namespace vesk
