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
#include <unistd.h>

namespace vesk {

namespace {

using Path = FlowStore::Path;

// The flow a file holds; else why it holds none, as a clause.
std::variant<Flow, std::string> readFlow(const Path& file) {
    FileContents contents = readRegularFile(file, FlowStore::largestFlowFile);
    if (!contents.wasRead()) {
        return contents.outcome == FileContents::Outcome::missing ? "it went" : std::move(contents.problem);
    }
    try {
        return Flow::decoded(contents.bytes);
    } catch (const std::exception&) {
        return "it holds no flow";
    }
}

std::optional<Flow> flowIn(const Path& file) {
    auto read = readFlow(file);
    if (auto* flow = std::get_if<Flow>(&read)) return std::move(*flow);
    return std::nullopt;
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
    struct Listed {
        Flow flow;
        Path file;
    };
    std::vector<Listed> listed;
    std::vector<Skipped> skipped;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory(), error), end; !error && entry != end;
         entry.increment(error)) {
        const Path& file = entry->path();
        if (file.extension() != ".json") continue;
        auto read = readFlow(file);
        if (auto* flow = std::get_if<Flow>(&read)) {
            listed.push_back({std::move(*flow), file});
        } else {
            skipped.push_back({file, std::get<std::string>(read)});
        }
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
    std::sort(skipped.begin(), skipped.end(),
              [](const Skipped& a, const Skipped& b) { return a.file.filename() < b.file.filename(); });
    skipped_ = std::move(skipped);
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
