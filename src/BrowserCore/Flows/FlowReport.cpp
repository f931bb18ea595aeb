#include "BrowserCore/Flows/FlowReport.h"

#include <algorithm>

namespace vesk {

StepResult StepResult::skipped(FlowStep step) {
    StepResult result;
    result.step = std::move(step);
    return result;
}

bool FlowReport::passed() const {
    return std::none_of(steps.begin(), steps.end(),
                        [](const StepResult& result) { return result.status.kind() == StepResult::Status::Kind::failed; });
}

std::string FlowReport::summary() const {
    auto passedCount = std::count_if(steps.begin(), steps.end(), [](const StepResult& result) {
        return result.status.kind() == StepResult::Status::Kind::passed;
    });
    std::string text = "Flow \"" + name + "\": " + (passed() ? "PASSED" : "FAILED") + " (" +
                       std::to_string(passedCount) + " of " + std::to_string(steps.size()) + " steps passed)";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const StepResult& result = steps[i];
        std::string item = std::to_string(i + 1) + ". " + result.step.summary();
        text += '\n';
        switch (result.status.kind()) {
        case StepResult::Status::Kind::passed:
            text += "\u2713 " + item;
            if (result.usedSelector) text += " (its name changed; found by selector)";
            break;
        case StepResult::Status::Kind::skipped:
            text += "\u2013 " + item + " (skipped)";
            break;
        case StepResult::Status::Kind::failed:
            text += "\u2717 " + item + ": " + result.status.reason();
            break;
        }
    }
    return text;
}

} // namespace vesk
