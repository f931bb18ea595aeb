#include "BrowserCore/FlowModel/FlowDecoding.h"

#include "Platform/JsonNesting.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>

namespace vesk::flowdecoding {

namespace {

std::string describeType(const nlohmann::json& value) {
    switch (value.type()) {
    case nlohmann::json::value_t::null:
        return "null";
    case nlohmann::json::value_t::object:
        return "an object";
    case nlohmann::json::value_t::array:
        return "an array";
    case nlohmann::json::value_t::string:
        return "a string";
    case nlohmann::json::value_t::boolean:
        return "a boolean";
    case nlohmann::json::value_t::number_float:
        return "a number with a fraction";
    default:
        return "a number";
    }
}

std::string where(const std::string& path) {
    return path.empty() ? "the top level" : path;
}

[[noreturn]] void wrongType(const nlohmann::json& value, const std::string& path, std::string_view expected) {
    throw FlowDecodingError("Wrong type at " + where(path) + ": expected " + std::string(expected) + ", found " +
                            describeType(value));
}

} // namespace

void fail(const std::string& path, const std::string& problem) {
    throw FlowDecodingError(problem + " at " + where(path));
}

nlohmann::json parse(std::string_view bytes) {
    if (jsonNestsDeeperThan(bytes)) {
        throw FlowDecodingError("Not valid JSON: it nests deeper than " + std::to_string(deepestJsonNesting) +
                                " levels");
    }
    try {
        return nlohmann::json::parse(bytes.begin(), bytes.end());
    } catch (const nlohmann::json::parse_error& error) {
        // Drop the library's "[json.exception.parse_error.101] " tag.
        std::string message = error.what();
        if (auto end = message.find("] "); message.starts_with("[json.exception") && end != std::string::npos) {
            message.erase(0, end + 2);
        }
        throw FlowDecodingError("Not valid JSON: " + message);
    }
}

void expectObject(const nlohmann::json& value, const std::string& path) {
    if (!value.is_object()) wrongType(value, path, "an object");
}

void expectArray(const nlohmann::json& value, const std::string& path) {
    if (!value.is_array()) wrongType(value, path, "an array");
}

std::string fieldPath(const std::string& path, std::string_view key) {
    return path.empty() ? std::string(key) : path + "." + std::string(key);
}

const nlohmann::json* member(const nlohmann::json& object, std::string_view key) {
    auto found = object.find(key);
    if (found == object.end() || found->is_null()) return nullptr;
    return &*found;
}

const nlohmann::json& requiredMember(const nlohmann::json& object, std::string_view key, const std::string& path) {
    const nlohmann::json* value = member(object, key);
    if (!value) throw FlowDecodingError("Missing key \"" + std::string(key) + "\" at " + where(path));
    return *value;
}

std::string string(const nlohmann::json& value, const std::string& path) {
    if (!value.is_string()) wrongType(value, path, "a string");
    return value.get<std::string>();
}

std::int64_t integer(const nlohmann::json& value, const std::string& path) {
    if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<std::int64_t>();
    if (value.is_number_unsigned()) {
        auto number = value.get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return static_cast<std::int64_t>(number);
        }
        fail(path, "Integer out of range");
    }
    if (value.is_number_float()) {
        // "2.0" is a whole number written with a fraction; accept it as 2.
        double number = value.get<double>();
        constexpr double limit = 9223372036854775808.0; // 2^63
        if (std::trunc(number) == number) {
            if (number >= -limit && number < limit) return static_cast<std::int64_t>(number);
            fail(path, "Integer out of range");
        }
    }
    wrongType(value, path, "an integer");
}

bool boolean(const nlohmann::json& value, const std::string& path) {
    if (!value.is_boolean()) wrongType(value, path, "a boolean");
    return value.get<bool>();
}

std::string requiredString(const nlohmann::json& object, std::string_view key, const std::string& path) {
    return string(requiredMember(object, key, path), fieldPath(path, key));
}

std::optional<std::string> optionalString(const nlohmann::json& object, std::string_view key, const std::string& path) {
    const nlohmann::json* value = member(object, key);
    if (!value) return std::nullopt;
    return string(*value, fieldPath(path, key));
}

} // namespace vesk::flowdecoding
