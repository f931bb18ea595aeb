#pragma once

// The saved flows: one JSON file per flow in a flows folder, listed into a
// sorted list, written to the file their name gives, never over a file that
// is not a flow. The folder a person chose is remembered across launches in
// the user defaults, as its absolute path.

#include "BrowserCore/FlowModel/Flow.h"
#include "BrowserCore/Flows/FlowStoreError.h"
#include "BrowserCore/Flows/ListedFlow.h"
#include "Platform/Observable.h"
#include "Platform/UserDefaults.h"

#include <sigc++/sigc++.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vesk {

class FlowStore {
public:
    using Path = std::filesystem::path;

    // Where a save went.
    struct Saved {
        Path file;
        // The file held a flow of another name (names that differ only in
        // case or punctuation share a file), which the save replaced.
        std::optional<std::string> replacedName;
    };
    struct Repaired {
        Path file;
        // Saved as a copy named "<name> (repaired)"; the flow under its own
        // name stays as it was.
        bool copy = false;
        std::optional<std::string> replacedName;
    };

    // The largest flow file read or written. A recorded step takes a few
    // hundred bytes, so this holds over ten thousand steps, more than any
    // recording reaches, while decoding it takes little time and memory;
    // a larger file (one that would take gigabytes to decode) is skipped.
    static constexpr std::size_t largestFlowFile = 4 * 1024 * 1024;
    // The most one reload reads of the folder's files, smallest first: what
    // a list of flows holds in memory, and what bounds the time a reload
    // takes, which every flow tool and the flows panel await. Thousands of
    // recorded flows fit; the files past it are skipped unread.
    static constexpr std::size_t largestFolderRead = 32 * 1024 * 1024;

    // A "*.json" file of the folder that the last reload could not list.
    struct Skipped {
        Path file;
        std::string reason;  // as a clause: "it holds no flow"
    };

    // The user-defaults key of the chosen folder.
    static constexpr const char* directoryKey = "flowsDirectory";
    // Vesk/Flows in the user's data folder.
    static Path standardDirectory();

    // The folder chosen before when it still is one, else the default folder;
    // removes the temporary files that interrupted saves left there, then
    // reloads.
    explicit FlowStore(UserDefaults& defaults);
    // Both folders as given; nothing is read from or written to the defaults.
    FlowStore(Path directory, Path defaultDirectory);
    FlowStore(const FlowStore&) = delete;
    FlowStore& operator=(const FlowStore&) = delete;

    const Path& directory() const { return directory_.get(); }
    const Path& defaultDirectory() const { return defaultDirectory_; }
    // Sorted by name as a person expects (case aside, digit runs by value).
    const std::vector<ListedFlow>& flows() const { return flows_.get(); }
    // Told when the list or the folder changes.
    sigc::signal<void()>& flowsChanged() { return flows_.changed(); }
    sigc::signal<void()>& directoryChanged() { return directory_.changed(); }

    // Reads the folder: every "*.json" file that holds a flow; the others
    // (what is not a regular file, or is larger than a flow file may be,
    // included) and the files past what one reload reads are skipped, and a
    // folder that cannot be listed counts as no flows.
    void reload();
    // The files the last reload skipped, by file name.
    const std::vector<Skipped>& skipped() const { return skipped_; }
    // The first listed flow of exactly that name, as its file held it.
    std::optional<Flow> flowNamed(const std::string& name) const;
    // The file a listed flow was read from: that of the first listed flow
    // equal to `flow`, else of the first with its name.
    std::optional<Path> fileOf(const Flow& flow) const;

    // Writes the flow to the file of its name, then reloads. Throws
    // FlowStoreError; a file that is not a flow is left untouched, and a
    // flow larger than a flow file may be is not written.
    Saved save(const Flow& flow);
    // In the default folder, saves a copy named "<name> (repaired)"; in a
    // chosen folder, replaces the file the flow of that name was read from.
    Repaired saveRepaired(const Flow& flow);
    // Removes the file the flow was read from, then reloads. Throws
    // FlowStoreError (a missing file included) and then changes nothing.
    void remove(const Flow& flow);
    // Makes `folder` the flows folder, remembers it and reloads.
    void useDirectory(Path folder);

private:
    Saved write(const Flow& flow, const Path& file);

    UserDefaults* defaults_ = nullptr;
    Observable<Path> directory_;
    Path defaultDirectory_;
    Observable<std::vector<ListedFlow>> flows_;
    std::vector<Skipped> skipped_;
};

} // namespace vesk
