#pragma once

// The texts of the activity log: the summary of the current run and the
// lines of one logged call.

#include "BrowserMCP/AgentActivity.h"

#include <optional>
#include <string>
#include <string_view>

namespace vesk::ui {

// The run's lines under its "Run" heading.
struct RunSummaryLines {
    std::string steps;                   // "3 steps · 0:42"
    std::string split;                   // "page 1.2 s · model 40.1 s"
    std::optional<std::string> median;   // "median decision 12.0 s", when the run has decisions
    bool operator==(const RunSummaryLines&) const = default;
};
RunSummaryLines runSummaryLines(const AgentActivity::Run& run);

// One row of the log, its times measured from `start`, the oldest call still
// in the log.
struct LogRowTexts {
    std::string tool;                    // with " …" while the call runs
    const char* toolColour;              // blue while running, text when it succeeded, red when it failed
    std::string times;                   // "[duration · ]minutes:seconds since start"
    std::optional<std::string> target;   // none when empty
    std::optional<std::string> failure;  // the failure text of a failed call
    // Colours by name: equal names need not be one string in memory.
    bool operator==(const LogRowTexts& other) const {
        return tool == other.tool && std::string_view(toolColour) == other.toolColour && times == other.times &&
               target == other.target && failure == other.failure;
    }
};
LogRowTexts logRowTexts(const AgentActivity::Entry& entry, Instant start);

} // namespace vesk::ui
