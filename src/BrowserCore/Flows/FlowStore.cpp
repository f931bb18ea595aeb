#include "BrowserCore/Flows/FlowStore.h"

#include "BrowserCore/Flows/FlowFileName.h"
#include "Platform/AtomicFile.h"
#include "Platform/RegularFile.h"
#include "Platform/TextOrder.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <variant>
#include <sys/stat.h>
#include <unistd.h>

namespace vesk {

namespace {

using Path = FlowStore::Path;

// The flow a file holds; else why it holds none, as a clause.
std::variant<Flow, std::string> decodedFlow(const std::string& bytes) {
    try {
        return Flow::decoded(bytes);
    } catch (const std::exception&) {
        return "it holds no flow";
    }
}

// Why a read of a flow file gave no bytes, as a clause.
std::string unread(FileContents& contents) {
    return contents.outcome == FileContents::Outcome::missing ? "it went" : std::move(contents.problem);
}

std::optional<Flow> flowIn(const Path& file) {
    FileContents contents = readRegularFile(file, FlowStore::largestFlowFile);
    if (!contents.wasRead()) return std::nullopt;
    auto read = decodedFlow(contents.bytes);
    if (auto* flow = std::get_if<Flow>(&read)) return std::move(*flow);
    return std::nullopt;
}

// Why a file is left unread once the files read before it take most of what
// one reload reads.
std::string pastTheFolderBound() {
    return "with it, the files read from the folder would pass " +
           std::to_string(FlowStore::largestFolderRead / (1024 * 1024)) + " MiB";
}

[[noreturn]] void failWith(const std::string& action, int error) {
    throw FlowStoreError::fileSystem(action, g_strerror(error));
}

// Written whole and moved into place, so that the file holds either the old
// flow or the new one.
void replaceFile(const Path& file, const std::string& bytes) {
    try {
        writeAtomically(file, bytes);
    } catch (const std::system_error& error) {
        throw FlowStoreError::fileSystem("Could not write " + file.string(), error.code().message());
    }
}

// The folder as an absolute path in normal form, without a trailing separator.
Path standardized(const Path& folder) {
    std::error_code ignored;
    Path absolute = std::filesystem::absolute(folder, ignored).lexically_normal();
    if (!absolute.has_filename() && absolute != absolute.root_path()) absolute = absolute.parent_path();
    return absolute;
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
    removeInterruptedSaves(directory());
    reload();
}

FlowStore::FlowStore(Path directory, Path defaultDirectory)
    : directory_(std::move(directory)), defaultDirectory_(std::move(defaultDirectory)) {
    removeInterruptedSaves(this->directory());
    reload();
}

void FlowStore::reload() {
    // The smallest files first, so that a few large ones never keep the
    // ordinary flows out; then by name, so that the same folder reads alike.
    struct Found {
        Path file;
        std::uintmax_t size = 0;  // 0 for what is not a regular file: the read refuses it
    };
    std::vector<Found> found;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory(), error), end; !error && entry != end;
         entry.increment(error)) {
        const Path& file = entry->path();
        if (file.extension() != ".json") continue;
        struct stat status {};
        bool regular = ::stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode);
        found.push_back({file, regular ? static_cast<std::uintmax_t>(status.st_size) : 0});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.size != b.size ? a.size < b.size : a.file.filename() < b.file.filename();
    });

    std::vector<ListedFlow> listed;
    std::vector<Skipped> skipped;
    std::size_t read = 0;  // every byte read, whether it held a flow or not
    for (const auto& [file, size] : found) {
        if (size <= largestFlowFile && read + size > largestFolderRead) {
            skipped.push_back({file, pastTheFolderBound()});
            continue;
        }
        FileContents contents = readRegularFile(file, largestFlowFile);
        if (!contents.wasRead()) {
            skipped.push_back({file, unread(contents)});
            continue;
        }
        // It grew since it was looked at.
        if (read + contents.bytes.size() > largestFolderRead) {
            skipped.push_back({file, pastTheFolderBound()});
            continue;
        }
        read += contents.bytes.size();
        auto decoded = decodedFlow(contents.bytes);
        if (auto* flow = std::get_if<Flow>(&decoded)) {
            listed.emplace_back(*flow, file, std::move(contents.bytes));
        } else {
            skipped.push_back({file, std::get<std::string>(decoded)});
        }
    }
    // Two files may hold flows of one name: the file's name orders them, so
    // that the same folder always lists alike.
    std::sort(listed.begin(), listed.end(), [](const ListedFlow& a, const ListedFlow& b) {
        int order = text::standardCompare(a.name, b.name);
        return order != 0 ? order < 0 : a.file.filename() < b.file.filename();
    });
    std::sort(skipped.begin(), skipped.end(),
              [](const Skipped& a, const Skipped& b) { return a.file.filename() < b.file.filename(); });
    skipped_ = std::move(skipped);
    flows_.set(std::move(listed));
}

std::optional<Flow> FlowStore::flowNamed(const std::string& name) const {
    for (const auto& listed : flows()) {
        if (listed.name == name) return listed.flow();
    }
    return std::nullopt;
}

std::optional<Path> FlowStore::fileOf(const Flow& flow) const {
    // Decoding takes time: only flows of its name and length are compared.
    for (const auto& listed : flows()) {
        if (listed.name == flow.name && listed.stepCount == flow.steps.size() && listed.flow() == flow) {
            return listed.file;
        }
    }
    for (const auto& listed : flows()) {
        if (listed.name == flow.name) return listed.file;
    }
    return std::nullopt;
}

FlowStore::Saved FlowStore::write(const Flow& flow, const Path& file) {
    // Never a file that the store would then skip.
    const std::string bytes = flow.encoded();
    if (bytes.size() > largestFlowFile) throw FlowStoreError::tooLarge(flow.name, largestFlowFile);
    const Path folder = file.parent_path();
    if (g_mkdir_with_parents(folder.c_str(), 0755) != 0) failWith("Could not make the flows folder " + folder.string(), errno);

    Saved saved{file, std::nullopt};
    GStatBuf status;
    if (g_lstat(file.c_str(), &status) == 0) {
        auto old = flowIn(file);
        if (!old) throw FlowStoreError::notAFlow(file.filename().string());
        if (old->name != flow.name) saved.replacedName = old->name;
    } else if (errno != ENOENT) {
        failWith("Could not save the flow as " + file.string(), errno);
    }
    replaceFile(file, bytes);
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
        auto held = flowIn(file);
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
