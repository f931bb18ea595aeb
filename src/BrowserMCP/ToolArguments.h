#pragma once

// Readers of a tool call's arguments. They are lenient: a value of the wrong
// JSON type counts as absent, and only `requiredString` fails.

#include "BrowserMCP/Json.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace vesk {

// The value when it is a JSON string (the empty string included).
std::optional<std::string> stringArgument(const std::string& name, const Json& arguments);

// The value when it is a JSON number; a JSON boolean counts as 0 or 1.
std::optional<double> numberArgument(const std::string& name, const Json& arguments);

// Like stringArgument; throws ToolError::missingArgument when there is none.
std::string requiredString(const std::string& name, const Json& arguments);

// True only for JSON true or the number 1; everything else, absent included, is false.
bool flagArgument(const std::string& name, const Json& arguments);

// The entries of a JSON object whose values are strings; the others are
// dropped. Empty when the value is absent or not an object.
std::map<std::string, std::string> variablesArgument(const std::string& name, const Json& arguments);

// A number read as a whole number, or none when it has a fraction, is not
// finite or lies outside the 64-bit range.
std::optional<std::int64_t> wholeNumber(double value);

// The content item of a text: { "type": "text", "text": text }.
Json textItem(std::string text);

} // namespace vesk
