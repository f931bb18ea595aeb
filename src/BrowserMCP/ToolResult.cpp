#include "BrowserMCP/ToolResult.h"

namespace vesk {

Json ToolResult::toJSON() const {
    Json result = Json::object();
    result["content"] = content;
    result["isError"] = isError;
    if (meta) result["_meta"] = *meta;
    return result;
}

} // namespace vesk
