#include "BrowserMCP/ToolArguments.h"

#include "BrowserMCP/ToolError.h"

#include <cmath>

namespace vesk {

namespace {

const Json* argument(const std::string& name, const Json& arguments) {
    if (!arguments.is_object()) return nullptr;
    auto found = arguments.find(name);
    return found == arguments.end() ? nullptr : &*found;
}

} // namespace

std::optional<std::string> stringArgument(const std::string& name, const Json& arguments) {
    const Json* value = argument(name, arguments);
    if (!value || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

std::optional<double> numberArgument(const std::string& name, const Json& arguments) {
    const Json* value = argument(name, arguments);
    if (!value) return std::nullopt;
    if (value->is_boolean()) return value->get<bool>() ? 1.0 : 0.0;
    if (value->is_number()) return value->get<double>();
    return std::nullopt;
}

std::string requiredString(const std::string& name, const Json& arguments) {
    auto value = stringArgument(name, arguments);
    if (!value) throw ToolError::missingArgument(name);
    return std::move(*value);
}

bool flagArgument(const std::string& name, const Json& arguments) {
    const Json* value = argument(name, arguments);
    if (!value) return false;
    if (value->is_boolean()) return value->get<bool>();
    if (value->is_number()) return value->get<double>() == 1.0;
    return false;
}

std::map<std::string, std::string> variablesArgument(const std::string& name, const Json& arguments) {
    std::map<std::string, std::string> values;
    const Json* value = argument(name, arguments);
    if (!value || !value->is_object()) return values;
    for (const auto& [key, entry] : value->items()) {
        if (entry.is_string()) values[key] = entry.get<std::string>();
    }
    return values;
}

std::optional<std::int64_t> wholeNumber(double value) {
    if (!std::isfinite(value) || std::trunc(value) != value) return std::nullopt;
    // 2^63 itself is out of range; every double below it converts exactly.
    if (value < -9223372036854775808.0 || value >= 9223372036854775808.0) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

Json textItem(std::string text) {
    Json item = Json::object();
    item["type"] = "text";
    item["text"] = std::move(text);
    return item;
}

} // namespace vesk
