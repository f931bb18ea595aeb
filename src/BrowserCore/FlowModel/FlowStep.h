#pragma once

// One step of a flow: an action, and what it needs to replay it.

#include "BrowserCore/FlowModel/Locator.h"

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

struct FlowStep {
    enum class Action {
        navigate,
        back,
        forward,
        reload,
        click,
        hover,
        fill,
        select,
        press,
        waitForText,
        waitForSelector,
        waitForRequest,
        waitForURL,
        waitForNoConsoleErrors,
    };

    // The word a flow file and a step line use for the action ("waitForText").
    static std::string_view toRaw(Action action);
    // Exact, case-sensitive; any other word gives none.
    static std::optional<Action> actionFromRaw(std::string_view raw);

    Action action = Action::navigate;
    // The element acted on, for actions on an element.
    std::optional<Locator> target;
    // The address, text, option, key, selector, URL pattern or request; may
    // hold ${NAME} references.
    std::optional<std::string> value;
    // The wanted status of a waitForRequest step; none stands for "2xx".
    std::optional<std::string> status;
    // A waitForText or waitForSelector step that waits until the thing is gone.
    std::optional<bool> absent;

    bool operator==(const FlowStep&) const = default;

    // The step on one line, as a replay report and the flows panel show it:
    // the action ("waitForText (absent)"), the target's role and quoted name,
    // the value as written (never a fill's) and a status other than "2xx".
    std::string summary() const;

    // The fields that have a value, under their own names; the rest left out.
    nlohmann::json toJSON() const;
    // Throws FlowDecodingError; `path` names the step in error messages.
    static FlowStep fromJSON(const nlohmann::json& object, const std::string& path = {});
};

} // namespace vesk
