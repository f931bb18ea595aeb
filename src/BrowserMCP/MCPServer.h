#pragma once

// The agent server: turns one line of JSON-RPC 2.0 into one reply line, or
// into nothing for a notification. It answers initialize, ping, tools/list
// and tools/call; a tool's failure is part of the tools/call result, never a
// JSON-RPC error.

#include "BrowserMCP/Json.h"
#include "BrowserMCP/ToolResult.h"
#include "Platform/Clock.h"
#include "Platform/Task.h"

#include <optional>
#include <string>

namespace vesk {

class AgentActivity;
class BrowserSession;
class FlowStore;
class ProfileStore;

class MCPServer {
public:
    static constexpr const char* protocolVersion = "2025-06-18";
    static constexpr const char* serverName = "Vesk";
    static constexpr const char* serverVersion = "0.5.0";

    // The server keeps the four objects for the tool calls; they must outlive it.
    MCPServer(BrowserSession* session, AgentActivity& activity, FlowStore* flows, ProfileStore* profiles);
    virtual ~MCPServer();
    MCPServer(const MCPServer&) = delete;
    MCPServer& operator=(const MCPServer&) = delete;

    // The reply to one line (one JSON text without a line feed), or none for
    // a notification. Never throws.
    Task<std::optional<std::string>> handle(std::string line);

    // How long one tool call may take; the timing settings set it.
    Duration commandTimeout() const { return commandTimeout_; }
    void setCommandTimeout(Duration timeout) { commandTimeout_ = timeout; }

protected:
    // Runs one tools/call: `name` is the params' "name" when it is a string,
    // else empty; `arguments` their "arguments" when it is an object, else
    // an empty object. Every failure of the tool is part of the result.
    // Defined with the tool handlers in MCPServerTools.cpp.
    virtual Task<ToolResult> callTool(std::string name, Json arguments);

    BrowserSession* session_;
    AgentActivity& activity_;
    FlowStore* flows_;
    ProfileStore* profiles_;
    // Whether more than one window was open after the previous tool call.
    bool hadPopup_ = false;
    Duration commandTimeout_ = seconds(60);

private:
    Task<Json> dispatch(const std::string& method, const Json& params);
};

} // namespace vesk
