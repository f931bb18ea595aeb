#pragma once

// The agent server: turns one line of JSON-RPC 2.0 into one reply line, or
// into nothing for a notification. It answers initialize, ping, tools/list
// and tools/call; a tool's failure is part of the tools/call result, never a
// JSON-RPC error.

#include "BrowserCore/FlowModel/Locator.h"
#include "BrowserCore/Flows/FlowReport.h"
#include "BrowserMCP/Json.h"
#include "BrowserMCP/ToolResult.h"
#include "BrowserMCP/ToolSession.h"
#include "Platform/Clock.h"
#include "Platform/Task.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vesk {

class AgentActivity;
class BrowserSession;
class FlowStore;
class ProfileStore;
struct BrowserProfile;
struct Credential;

class MCPServer {
public:
    static constexpr const char* protocolVersion = "2025-06-18";
    static constexpr const char* serverName = "Vesk";
    static constexpr const char* serverVersion = "0.5.0";

    // The server keeps the four objects for the tool calls; they must outlive
    // it. The session must not be null.
    MCPServer(BrowserSession* session, AgentActivity& activity, FlowStore* flows, ProfileStore* profiles);
    // The same over any view of the session, such as a stand-in in tests.
    MCPServer(std::unique_ptr<ToolSession> session, AgentActivity& activity, FlowStore* flows, ProfileStore* profiles);
    virtual ~MCPServer();
    MCPServer(const MCPServer&) = delete;
    MCPServer& operator=(const MCPServer&) = delete;

    // The reply to one line (one JSON text without a line feed), or none for
    // a notification. Never throws.
    Task<std::optional<std::string>> handle(std::string line);

    // How long one tool call may take; the timing settings set it.
    Duration commandTimeout() const { return commandTimeout_; }
    void setCommandTimeout(Duration timeout) { commandTimeout_ = timeout; }

    // The answer to every call while the person has paused the agent.
    static constexpr const char* pausedText =
        "The person watching the browser has paused the agent and taken control. Stop and ask them before continuing.";
    // Error texts are cut to this many characters.
    static constexpr std::size_t errorTextLimit = 2000;
    // The tools that act on the page: a call given up on may still reach it.
    static const std::set<std::string>& actingTools();

    // How long one call of `name` may take: the command timeout, and for
    // wait_for its own timeout on top; none for run_flow, whose steps are
    // limited one by one.
    std::optional<Duration> timeLimit(const std::string& name, const Json& arguments) const;
    // wait_for's own timeout in seconds: "timeout_seconds", 10 when absent,
    // kept within 0 to 300.
    static double waitSeconds(const Json& arguments);
    // What a call aims at, as the activity log shows it; may be empty.
    std::string targetText(const std::string& name, const Json& arguments) const;

    // Replays `steps` from step `from` (counted from 1; the earlier ones are
    // skipped), each step raced on its own against the step limit: the
    // session's step timeout plus the command timeout. A step that would start
    // while the agent is paused fails with the pause's text. Never throws.
    Task<FlowReport> runFlow(std::string name, std::vector<FlowStep> steps, std::int64_t from,
                             std::map<std::string, std::string> values);
    // A step's element as the repair text shows it: role, a blank, and the
    // name between straight double quotes.
    static std::string locatorText(const Locator& locator);

    // The profile tools (ProfileTools.cpp). Makes the named profile current,
    // or the temporary one for no name or "temporary" in any case, blanks
    // around it ignored; an unknown name is created when `create` is true and
    // fails with ToolError::unknownProfile otherwise. The store's errors pass
    // through.
    Task<void> useProfile(std::optional<std::string> name, bool create);
    // A profile's line of list_profiles: its variables and credentials with
    // their sites, never a value.
    std::string profileLine(const BrowserProfile& profile) const;
    // The references a credential offers and its sites, such as
    // "${Login.user|password} on example.com".
    static std::string credentialText(const Credential& credential);

protected:
    // Runs one tools/call: `name` is the params' "name" when it is a string,
    // else empty; `arguments` their "arguments" when it is an object, else
    // an empty object. Every failure of the tool is part of the result.
    // Defined in MCPServerTools.cpp.
    virtual Task<ToolResult> callTool(std::string name, Json arguments);
    // The tool's content items, raced against its time limit.
    Task<Json> runWithinLimit(std::string name, Json arguments);
    // The switch over the tool names: the handler's content items (a JSON
    // array), or its error. Defined in PageTools.cpp.
    virtual Task<Json> runTool(std::string name, Json arguments);

    std::unique_ptr<ToolSession> session_;
    AgentActivity& activity_;
    FlowStore* flows_;
    ProfileStore* profiles_;
    // Whether more than one window was open after the previous tool call.
    bool hadPopup_ = false;
    Duration commandTimeout_ = seconds(60);

private:
    Task<Json> dispatch(const std::string& method, const Json& params);

    // The road of a call (MCPServerTools.cpp).
    Task<Json> timeLimitTimer(std::string name, Duration limit, bool acting);
    Json windowItems();
    std::optional<Json> phaseMetadata() const;

    // The page tools (PageTools.cpp).
    Json pageText(const PageSnapshot& page, bool compact) const;
    Task<Json> navigateTool(Json arguments);
    Task<Json> snapshotTool();
    Task<Json> findTool(Json arguments);
    Task<Json> evaluateTool(Json arguments);
    Json consoleTool();
    Json networkTool(const Json& arguments);
    Task<Json> screenshotTool();
    Task<Json> windowTool(Json arguments);
    // The acting tools and the waits (ActingTools.cpp).
    Task<Json> actingTool(const std::string& name, Json arguments, std::optional<PageSnapshot> before);
    Json actionContent(ActionResult result, const std::optional<PageSnapshot>& before) const;
    Task<Json> waitForTool(Json arguments);
    // The flow tools (FlowTools.cpp).
    Task<Json> flowTool(const std::string& name, Json arguments);
    FlowStore& flowStore() const;
    Task<Json> recordStopTool();
    Json listFlowsTool();
    Task<Json> runFlowTool(Json arguments);
    Json repairFlowTool(const Json& arguments);
    Task<std::vector<StepResult>> replayStep(std::string name, FlowStep step, std::map<std::string, std::string> values,
                                             std::int64_t consoleMark);
    Task<std::vector<StepResult>> stepTimer(std::string label, Duration limit, bool acting);

    // The profile tools (ProfileTools.cpp).
    ProfileStore& profileStore(const std::string& tool) const;
    Json listProfilesTool();
    Task<Json> useProfileTool(Json arguments);
};

} // namespace vesk
