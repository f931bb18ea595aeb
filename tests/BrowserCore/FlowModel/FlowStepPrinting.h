#pragma once

// Flow steps as test failures show them: their flow file form.

#include "BrowserCore/FlowModel/FlowStep.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace vesk {

inline void PrintTo(const FlowStep& step, std::ostream* out) {
    *out << step.toJSON().dump();
}

} // namespace vesk
