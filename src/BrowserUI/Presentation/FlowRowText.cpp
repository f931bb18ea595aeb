#include "BrowserUI/Presentation/FlowRowText.h"

#include "BrowserUI/Presentation/Formatters.h"
#include "BrowserUI/Presentation/Localized.h"

#include <algorithm>

namespace vesk::ui {

ColouredText flowResultText(std::size_t stepCount, const FlowReport* report) {
    std::string count = formatStepCount(static_cast<std::int64_t>(stepCount));
    if (!report) return {count, "secondaryText"};
    if (report->passed()) return {localized("passed · %@", {count}), "green"};
    auto passed = std::count_if(report->steps.begin(), report->steps.end(), [](const StepResult& result) {
        return result.status.kind() == StepResult::Status::Kind::passed;
    });
    return {localized("failed · %lld of %@", {std::to_string(passed), count}), "red"};
}

std::vector<const StepResult*> stepResults(std::size_t stepCount, const FlowReport* report) {
    std::vector<const StepResult*> results(stepCount, nullptr);
    if (!report) return results;
    for (std::size_t i = 0; i < results.size() && i < report->steps.size(); ++i)
        results[i] = &report->steps[i];
    return results;
}

StepMark stepMark(const StepResult* result) {
    using Kind = StepResult::Status::Kind;
    if (!result) return {"○", "faintText", localized("Not run")};
    switch (result->status.kind()) {
    case Kind::passed: return {"✓", "green", localized("Passed")};
    case Kind::skipped: return {"–", "faintText", localized("Skipped")};
    case Kind::failed: return {"✗", "red", localized("Failed")};
    }
    return {"○", "faintText", localized("Not run")};
}

} // namespace vesk::ui
