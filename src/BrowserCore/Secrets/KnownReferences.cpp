#include "BrowserCore/Secrets/KnownReferences.h"

#include "BrowserCore/Secrets/VariableNames.h"
#include "Platform/Text.h"

#include <algorithm>
#include <vector>

namespace vesk {

std::string replacingKnownReferences(std::string_view text, const std::map<std::string, std::string>& values) {
    std::string result(text);
    std::vector<std::string> seen;
    for (const auto& name : variableNames(text)) {
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
        seen.push_back(name);
        if (auto found = values.find(name); found != values.end()) {
            result = text::replacedAll(result, "${" + name + "}", found->second);
        }
    }
    return result;
}

} // namespace vesk
