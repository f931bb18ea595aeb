#include "BrowserCore/FlowModel/FlowStep.h"

#include "BrowserCore/FlowModel/FlowDecoding.h"

#include <nlohmann/json.hpp>

#include <array>
#include <utility>

namespace vesk {

namespace {

using Action = FlowStep::Action;

constexpr std::array<std::pair<Action, std::string_view>, 14> actionWords{{
    {Action::navigate, "navigate"},
    {Action::back, "back"},
    {Action::forward, "forward"},
    {Action::reload, "reload"},
    {Action::click, "click"},
    {Action::hover, "hover"},
    {Action::fill, "fill"},
    {Action::select, "select"},
    {Action::press, "press"},
    {Action::waitForText, "waitForText"},
    {Action::waitForSelector, "waitForSelector"},
    {Action::waitForRequest, "waitForRequest"},
    {Action::waitForURL, "waitForURL"},
    {Action::waitForNoConsoleErrors, "waitForNoConsoleErrors"},
}};

} // namespace

std::string_view FlowStep::toRaw(Action action) {
    for (const auto& [candidate, word] : actionWords) {
        if (candidate == action) return word;
    }
    return {};
}

std::optional<Action> FlowStep::actionFromRaw(std::string_view raw) {
    for (const auto& [action, word] : actionWords) {
        if (word == raw) return action;
    }
    return std::nullopt;
}

std::string FlowStep::summary() const {
    std::string line(toRaw(action));
    if (absent.value_or(false)) line += " (absent)";
    if (target) line += " " + target->role + " \"" + target->name + "\"";
    if (value && action != Action::fill) line += " " + *value;
    if (status && *status != "2xx") line += " " + *status;
    return line;
}

nlohmann::json FlowStep::toJSON() const {
    nlohmann::json object = {{"action", toRaw(action)}};
    if (target) object["target"] = target->toJSON();
    if (value) object["value"] = *value;
    if (status) object["status"] = *status;
    if (absent) object["absent"] = *absent;
    return object;
}

FlowStep FlowStep::fromJSON(const nlohmann::json& object, const std::string& path) {
    using namespace flowdecoding;
    expectObject(object, path);
    FlowStep step;
    std::string actionPath = fieldPath(path, "action");
    std::string word = string(requiredMember(object, "action", path), actionPath);
    auto action = actionFromRaw(word);
    if (!action) fail(actionPath, "Unknown action \"" + word + "\"");
    step.action = *action;
    if (const auto* target = member(object, "target")) step.target = Locator::fromJSON(*target, fieldPath(path, "target"));
    step.value = optionalString(object, "value", path);
    step.status = optionalString(object, "status", path);
    if (const auto* absent = member(object, "absent")) step.absent = boolean(*absent, fieldPath(path, "absent"));
    return step;
}

} // namespace vesk
