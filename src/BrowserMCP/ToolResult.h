#pragma once

#include "BrowserMCP/Json.h"

#include <optional>

namespace vesk {

// The result of one tools/call: its content items, whether the call failed,
// and the "_meta" object when there is one.
struct ToolResult {
    Json content = Json::array();
    bool isError = false;
    std::optional<Json> meta;

    // { "content": [...], "isError": bool } plus "_meta" when present.
    Json toJSON() const;
};

} // namespace vesk
