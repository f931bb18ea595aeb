#pragma once

// The rules of the recorder card, apart from its widgets: which state it
// shows, the name it records under, and whether saving under that name
// replaces a saved flow.

#include "BrowserCore/FlowModel/Flow.h"
#include "Platform/Observable.h"

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {
class FlowStore;
}

namespace vesk::ui {

enum class RecorderMode {
    recording, // the session records a flow (the person's or the agent's)
    unsaved,   // a stopped recording whose save failed waits to be saved
    naming,    // the person names a new flow
    idle,
};

RecorderMode recorderMode(bool sessionRecords, bool hasUnsaved, const std::optional<std::string>& name);

// A stopped recording whose save failed, and the failure's text.
struct UnsavedRecording {
    Flow flow;
    std::string failure;
};

// The stopped recordings not saved yet, oldest first. The window keeps them,
// so that the flows tab shown again, or a stop whose save fails after the tab
// was closed, still offers each to be saved or discarded.
using UnsavedRecordings = Observable<std::vector<UnsavedRecording>>;

// The name without blanks and tabs at either end (line breaks stay).
std::string trimmedFlowName(std::string_view name);

// Whether saving a flow of this (trimmed) name would replace a saved flow:
// names that differ only in case or punctuation share a file, so the name's
// file is what counts, not the name itself.
bool replacesSavedFlow(const FlowStore& flows, std::string_view name);

// What the card says of a save of the flow `name` that failed: the store's
// words, except where they would have the person record the flow again,
// which the card spares them by offering to save it under another name.
std::string saveFailureText(const std::exception& error, std::string_view name);

} // namespace vesk::ui
