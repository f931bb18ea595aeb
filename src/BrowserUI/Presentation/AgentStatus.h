#pragma once

// The top bar's one-line status of the agent: "agent: " and a state in the
// colour of that state.

#include "BrowserMCP/AgentActivity.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::ui {

struct AgentStatus {
    std::string state;   // the text after "agent: "
    const char* colour;  // a palette colour's name
    // Colours by name: equal names need not be one string in memory.
    bool operator==(const AgentStatus& other) const {
        return state == other.state && std::string_view(colour) == other.colour;
    }
};

// In this order: paused, else recording, else the newest call's outcome in
// its run, else idle.
AgentStatus agentStatus(bool isPaused, bool isRecording, const std::vector<AgentActivity::Entry>& entries,
                        const std::optional<AgentActivity::Run>& run);

} // namespace vesk::ui
