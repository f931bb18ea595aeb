#pragma once

// Reading and writing the keys of a record's JSON object, shared by the
// records' coders. Every failure names the key path, e.g.
// `elements[2].checked is not a boolean`, and throws RecordDecodingError.

#include "BrowserCore/Records/RecordDecodingError.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <concepts>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace vesk::json_fields {

inline std::string join(const std::string& path, const char* key) {
    return path.empty() ? std::string(key) : path + "." + key;
}

inline std::string item(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

// The integer a JSON number holds when its value is integral and fits `Int`.
template <std::integral Int, typename Json>
std::optional<Int> integralValue(const Json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        auto number = value.template get<std::int64_t>();
        if (number < std::numeric_limits<Int>::min() || number > std::numeric_limits<Int>::max()) return std::nullopt;
        return static_cast<Int>(number);
    }
    if (value.is_number_unsigned()) {
        auto number = value.template get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<Int>::max())) return std::nullopt;
        return static_cast<Int>(number);
    }
    if (value.is_number_float()) {
        double number = value.template get<double>();
        // The bounds are powers of two, exactly representable as doubles.
        if (!std::isfinite(number) || std::trunc(number) != number) return std::nullopt;
        if (number < static_cast<double>(std::numeric_limits<Int>::min()) ||
            number >= -static_cast<double>(std::numeric_limits<Int>::min())) return std::nullopt;
        return static_cast<Int>(number);
    }
    return std::nullopt;
}

template <typename Json>
class Reader {
public:
    Reader(const Json& object, std::string path) : object_(object), path_(std::move(path)) {
        if (!object_.is_object()) throw RecordDecodingError((path_.empty() ? std::string("the value") : path_) + " is not an object");
    }

    const std::string& path() const { return path_; }

    // The value under a required key.
    const Json& required(const char* key) const {
        auto found = object_.find(key);
        if (found == object_.end()) throw RecordDecodingError(join(path_, key) + " is missing");
        return *found;
    }

    // The value under an optional key; none when missing or null.
    const Json* optional(const char* key) const {
        auto found = object_.find(key);
        if (found == object_.end() || found->is_null()) return nullptr;
        return &*found;
    }

    std::string text(const char* key) const { return asText(required(key), key); }
    std::optional<std::string> optionalText(const char* key) const {
        if (auto* value = optional(key)) return asText(*value, key);
        return std::nullopt;
    }

    bool boolean(const char* key) const { return asBoolean(required(key), key); }
    std::optional<bool> optionalBoolean(const char* key) const {
        if (auto* value = optional(key)) return asBoolean(*value, key);
        return std::nullopt;
    }

    template <std::integral Int>
    Int integer(const char* key) const { return asInteger<Int>(required(key), key); }
    template <std::integral Int>
    std::optional<Int> optionalInteger(const char* key) const {
        if (auto* value = optional(key)) return asInteger<Int>(*value, key);
        return std::nullopt;
    }

    // A required array whose items `decode(item, itemPath)` turns into T.
    template <typename Decode>
    auto list(const char* key, Decode decode) const {
        const Json& value = required(key);
        std::string path = join(path_, key);
        if (!value.is_array()) throw RecordDecodingError(path + " is not an array");
        std::vector<decltype(decode(value, path))> items;
        items.reserve(value.size());
        for (std::size_t i = 0; i < value.size(); ++i) items.push_back(decode(value[i], item(path, i)));
        return items;
    }

    std::vector<std::string> texts(const char* key) const {
        return list(key, [](const Json& value, const std::string& path) {
            if (!value.is_string()) throw RecordDecodingError(path + " is not a string");
            return value.template get<std::string>();
        });
    }

private:
    std::string asText(const Json& value, const char* key) const {
        if (!value.is_string()) throw RecordDecodingError(join(path_, key) + " is not a string");
        return value.template get<std::string>();
    }
    bool asBoolean(const Json& value, const char* key) const {
        if (!value.is_boolean()) throw RecordDecodingError(join(path_, key) + " is not a boolean");
        return value.template get<bool>();
    }
    template <std::integral Int>
    Int asInteger(const Json& value, const char* key) const {
        auto number = integralValue<Int>(value);
        if (!number) throw RecordDecodingError(join(path_, key) + " is not an integer");
        return *number;
    }

    const Json& object_;
    std::string path_;
};

// Writes an optional field only when it has a value.
template <typename Json, typename T>
void putOptional(Json& json, const char* key, const std::optional<T>& value) {
    if (value) json[key] = *value;
}

} // namespace vesk::json_fields
