#pragma once

// One action of the person in the page, as the page agent reports it on the
// "person" channel or answers "typed" with it.

#include "BrowserCore/FlowModel/FlowStep.h"
#include "BrowserCore/Records/CapturedLocator.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

struct PersonAction {
    FlowStep::Action action = FlowStep::Action::click;
    std::optional<CapturedLocator> target;
    // The text typed, the option chosen or the key pressed.
    std::optional<std::string> value;
    // False when a page script made the event rather than the person.
    bool trusted = false;

    // Keys "action" (a step action's word), optional "target" and "value",
    // and "trusted"; other keys are ignored. Throws RecordDecodingError (or
    // FlowDecodingError for a malformed target) naming the key.
    static PersonAction decode(const nlohmann::json& json);
    // The same from the JSON text of a "person" message; text that is not
    // JSON throws as well.
    static PersonAction decoded(std::string_view text);
};

} // namespace vesk
