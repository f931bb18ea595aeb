#pragma once

// How a flow step finds its element again on a later visit: by role and
// accessible name first, with a CSS selector to fall back on.

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

struct Locator {
    std::string role;
    std::string name;
    // Which of the elements with this role and name, as the page agent counts them.
    std::int64_t index = 0;
    std::optional<std::string> selector;

    bool operator==(const Locator&) const = default;

    // Keys "index", "name", "role" and, when there is one, "selector".
    nlohmann::json toJSON() const;
    // Reads the keys above from an object and ignores any others (the page
    // agent's captured locator carries more); throws FlowDecodingError.
    // `path` names the object in error messages.
    static Locator fromJSON(const nlohmann::json& object, const std::string& path = {});
    // The same from JSON text.
    static Locator decoded(std::string_view bytes);
};

} // namespace vesk
