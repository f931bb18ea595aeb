#pragma once

// What a row of the flows panel says about a flow: its result text and
// colour from the last replay's report, and the mark of each step.

#include "BrowserCore/Flows/FlowReport.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::ui {

struct ColouredText {
    std::string text;
    const char* colour; // a palette name
    // Colours by name: equal names need not be one string in memory.
    bool operator==(const ColouredText& other) const {
        return text == other.text && std::string_view(colour) == other.colour;
    }
};

// The step count alone without a report; "passed · " and the count after a
// replay that passed; "failed · ", the steps that passed, " of " and the
// count after one that failed.
ColouredText flowResultText(std::size_t stepCount, const FlowReport* report);

// The report's result for each of a flow's steps, by position; none where
// there is no report or it holds fewer results.
std::vector<const StepResult*> stepResults(std::size_t stepCount, const FlowReport* report);

struct StepMark {
    const char* mark;
    const char* colour;
    std::string accessibleLabel;
};
StepMark stepMark(const StepResult* result);

} // namespace vesk::ui
