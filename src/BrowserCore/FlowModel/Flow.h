#pragma once

// A named list of steps; its JSON form is the flow file.

#include "BrowserCore/FlowModel/FlowDecoding.h"
#include "BrowserCore/FlowModel/FlowError.h"
#include "BrowserCore/FlowModel/FlowStep.h"
#include "BrowserCore/FlowModel/Locator.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

struct Flow {
    std::string name;
    // In replay order.
    std::vector<FlowStep> steps;

    bool operator==(const Flow&) const = default;

    // The flow file text: UTF-8, keys sorted, pretty-printed, slashes plain,
    // optional fields without a value left out. Never fails: bytes that are
    // not UTF-8 are written as U+FFFD.
    std::string encoded() const;
    // Reads a flow file of any layout; unknown keys are ignored, null counts as
    // absent. Throws FlowDecodingError, and then nothing was read.
    static Flow decoded(std::string_view bytes);

    nlohmann::json toJSON() const;
    static Flow fromJSON(const nlohmann::json& object);

    // The flow with step `step` (counted from 1) aiming at `locator`; the rest
    // unchanged. Throws FlowError::unrepairableStep when there is no such step
    // or the step has no target to replace.
    Flow replacingTarget(std::int64_t step, const Locator& locator) const;
};

} // namespace vesk
