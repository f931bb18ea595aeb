#include "BrowserMCP/MCPServer.h"

#include "BrowserMCP/Tool.h"
#include "BrowserMCP/ToolArguments.h"
#include "BrowserMCP/ToolError.h"

#include <algorithm>

namespace vesk {

// The tool handlers are not wired to the browser session yet: every tool
// answers, as a failed call, that it cannot run, so that no agent takes a
// made-up success for a real one.
Task<ToolResult> MCPServer::callTool(std::string name, Json arguments) {
    static_cast<void>(arguments);
    const auto& tools = Tool::all();
    bool known = std::any_of(tools.begin(), tools.end(), [&](const Tool& tool) { return tool.name == name; });
    ToolResult result;
    result.isError = true;
    result.content.push_back(textItem(known ? "The tool " + name + " is not available yet: it was not run."
                                            : std::string(ToolError::unknownTool(name).what())));
    co_return result;
}

} // namespace vesk
