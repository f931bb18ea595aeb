#include "BrowserCore/Secrets/KnownReferences.h"

#include "BrowserCore/Secrets/VariableNames.h"

#include <algorithm>
#include <vector>

namespace vesk {

namespace {

void replaceAll(std::string& text, const std::string& what, const std::string& by) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, from)) {
        out.append(text, from, at - from);
        out += by;
        from = at + what.size();
    }
    out.append(text, from, std::string::npos);
    text = std::move(out);
}

} // namespace

std::string replacingKnownReferences(std::string_view text, const std::map<std::string, std::string>& values) {
    std::string result(text);
    std::vector<std::string> seen;
    for (const auto& name : variableNames(text)) {
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
        seen.push_back(name);
        if (auto found = values.find(name); found != values.end()) {
            replaceAll(result, "${" + name + "}", found->second);
        }
    }
    return result;
}

} // namespace vesk
