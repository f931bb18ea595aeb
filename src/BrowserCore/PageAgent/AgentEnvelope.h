#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace vesk {

// Opens the reply envelope of a page agent command: the JSON text
// {"ok": bool, "value"?: any, "code"?: text, "message"?: text}.
// Gives the value (none when the reply carries none, or carries null), or
// throws the BrowserError the reply stands for. `reply` is none when the
// page agent answered with something other than a text.
std::optional<nlohmann::json> openEnvelope(const std::string& command, const std::optional<std::string>& reply);

// The error for a reply whose value does not have the shape the caller needs.
[[noreturn]] void throwUnexpectedShape(const std::string& command, const std::string& problem);

} // namespace vesk
