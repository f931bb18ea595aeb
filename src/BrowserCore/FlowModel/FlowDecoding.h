#pragma once

// Reading flow records from JSON: strict about required keys and types, so
// that a damaged flow file is refused whole, with a message that says where.

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vesk {

// A flow file, step or locator that cannot be read; what() says what and where.
class FlowDecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace flowdecoding {

// Parses JSON text; bad JSON, or JSON nested deeper than any flow could
// be, throws FlowDecodingError.
nlohmann::json parse(std::string_view bytes);

// `path` names the object being read, e.g. "steps[2].target"; empty for the top level.
void expectObject(const nlohmann::json& value, const std::string& path);
void expectArray(const nlohmann::json& value, const std::string& path);
std::string fieldPath(const std::string& path, std::string_view key);

// The member under `key`, or nullptr when it is missing or null.
const nlohmann::json* member(const nlohmann::json& object, std::string_view key);
// The member under `key`; a missing or null one throws.
const nlohmann::json& requiredMember(const nlohmann::json& object, std::string_view key, const std::string& path);

std::string string(const nlohmann::json& value, const std::string& path);
std::int64_t integer(const nlohmann::json& value, const std::string& path);
bool boolean(const nlohmann::json& value, const std::string& path);

std::string requiredString(const nlohmann::json& object, std::string_view key, const std::string& path);
std::optional<std::string> optionalString(const nlohmann::json& object, std::string_view key, const std::string& path);

[[noreturn]] void fail(const std::string& path, const std::string& problem);

} // namespace flowdecoding
} // namespace vesk
