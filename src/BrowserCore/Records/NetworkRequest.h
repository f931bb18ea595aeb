#pragma once

#include "BrowserCore/Records/RecordDecodingError.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace vesk {

// One fetch or XMLHttpRequest request of a page that ended.
struct NetworkRequest {
    std::string method;                 // letters only, at most 20 characters
    std::string url;                    // at most 2000 characters
    std::optional<int> status;          // none when the request got no answer
    std::optional<std::string> error;   // "network error", "aborted" or "timed out"; only without a status
    std::int64_t milliseconds = 0;      // duration as the page measured it
    std::optional<std::string> window;  // id of the window that made it

    // No answer at all, or an answer of 400 and above.
    bool failed() const;

    // Field by field; canonically equivalent texts are equal.
    bool operator==(const NetworkRequest& other) const;
};

// JSON coding under the field names; a field without a value is left out.
// Decoding throws RecordDecodingError and never returns a partial record.
void to_json(nlohmann::json& json, const NetworkRequest& request);
void to_json(nlohmann::ordered_json& json, const NetworkRequest& request);
void from_json(const nlohmann::json& json, NetworkRequest& request);
void from_json(const nlohmann::ordered_json& json, NetworkRequest& request);

} // namespace vesk
