#include "BrowserCore/Flows/StepValues.h"

#include "BrowserCore/FlowModel/FlowError.h"
#include "BrowserCore/Secrets/VariableNames.h"

namespace vesk {

std::string substitutedStepValue(std::string_view text, const std::map<std::string, std::string>& values) {
    for (const auto& name : variableNames(text)) {
        if (!values.contains(name)) throw FlowError::missingVariable(name);
    }
    return replacedReferences(text, [&](const std::string& name) { return values.at(name); });
}

} // namespace vesk
