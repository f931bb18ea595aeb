#include "BrowserCore/FlowModel/Flow.h"

#include <nlohmann/json.hpp>

namespace vesk {

nlohmann::json Flow::toJSON() const {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& step : steps) list.push_back(step.toJSON());
    return {{"name", name}, {"steps", std::move(list)}};
}

std::string Flow::encoded() const {
    // nlohmann::json keeps object keys sorted and never escapes "/".
    return toJSON().dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

Flow Flow::fromJSON(const nlohmann::json& object) {
    using namespace flowdecoding;
    expectObject(object, {});
    Flow flow;
    flow.name = requiredString(object, "name", {});
    const nlohmann::json& list = requiredMember(object, "steps", {});
    expectArray(list, "steps");
    flow.steps.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        flow.steps.push_back(FlowStep::fromJSON(list[i], "steps[" + std::to_string(i) + "]"));
    }
    return flow;
}

Flow Flow::decoded(std::string_view bytes) {
    return fromJSON(flowdecoding::parse(bytes));
}

Flow Flow::replacingTarget(std::int64_t step, const Locator& locator) const {
    // Compared before subtracting, so that no step number can overflow.
    if (step < 1 || static_cast<std::uint64_t>(step) > steps.size()) {
        throw FlowError::unrepairableStep("The flow has " + std::to_string(steps.size()) +
                                          " steps, so there is no step " + std::to_string(step));
    }
    auto i = static_cast<std::size_t>(step - 1);
    const FlowStep& old = steps[i];
    if (!old.target) {
        throw FlowError::unrepairableStep("Step " + std::to_string(step) + " is a " +
                                          std::string(FlowStep::toRaw(old.action)) +
                                          " step, which has no element to replace");
    }
    Flow repaired = *this;
    repaired.steps[i].target = locator;
    return repaired;
}

} // namespace vesk
