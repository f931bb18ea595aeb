#include "BrowserCore/Flows/FlowReport.h"

#include "Platform/Text.h"

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
    std::string text = headLine();
    for (std::size_t i = 0; i < steps.size(); ++i) text += '\n' + stepLine(i);
    return text;
}

std::string FlowReport::headLine() const {
    auto passedCount = std::count_if(steps.begin(), steps.end(), [](const StepResult& result) {
        return result.status.kind() == StepResult::Status::Kind::passed;
    });
    return "Flow \"" + name + "\": " + (passed() ? "PASSED" : "FAILED") + " (" + std::to_string(passedCount) + " of " +
           std::to_string(steps.size()) + " steps passed)";
}

std::string FlowReport::stepLine(std::size_t index, std::size_t partLimit) const {
    const StepResult& result = steps[index];
    std::string item = std::to_string(index + 1) + ". " + text::cut(result.step.summary(), partLimit);
    switch (result.status.kind()) {
    case StepResult::Status::Kind::passed:
        return "\u2713 " + item + (result.usedSelector ? " (its name changed; found by selector)" : "");
    case StepResult::Status::Kind::skipped:
        return "\u2013 " + item + " (skipped)";
    case StepResult::Status::Kind::failed:
        break;
    }
    return "\u2717 " + item + ": " + text::cut(result.status.reason(), partLimit);
}

} // namespace vesk
