#include "BrowserMCP/MCPServer.h"

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserMCP/BrowserToolSession.h"
#include "BrowserMCP/Tool.h"
#include "Platform/JsonNesting.h"

#include <exception>
#include <stdexcept>
#include <string_view>

namespace vesk {

namespace {

// A request's failure at the protocol level, answered as a JSON-RPC error.
struct ProtocolError {
    int code;
    std::string message;
};

Json errorReply(const Json& id, int code, const std::string& message) {
    Json error = Json::object();
    error["code"] = code;
    error["message"] = message;
    Json reply = Json::object();
    reply["jsonrpc"] = "2.0";
    reply["id"] = id;
    reply["error"] = std::move(error);
    return reply;
}

constexpr int internalErrorCode = -32603;
constexpr const char* internalErrorMessage = "Internal error: the server could not produce a reply to this request.";

// Compact, "/" unescaped, non-ASCII as UTF-8. Invalid UTF-8 in a text is
// replaced by U+FFFD rather than failing the whole reply.
std::string serialise(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

// A reply that cannot be written still answers the request, as an internal
// error that carries its id.
std::string encode(const Json& reply, const Json& id) {
    try {
        return serialise(reply);
    } catch (...) {
    }
    try {
        return serialise(errorReply(id, internalErrorCode, internalErrorMessage));
    } catch (...) {
        return serialise(errorReply(nullptr, internalErrorCode, internalErrorMessage));
    }
}

// Whether the line can be one JSON message at all: not nested too deep to
// handle, and free of zero bytes. The parser takes a zero byte for the end of
// its input and would read a line cut there; JSON allows that byte nowhere,
// so such a line is refused whole.
bool parseable(std::string_view line) {
    return line.find('\0') == std::string_view::npos && !jsonNestsDeeperThan(line);
}

} // namespace

namespace {

std::unique_ptr<ToolSession> toolSessionOf(BrowserSession* session) {
    if (!session) throw std::invalid_argument("The agent server needs a browser session.");
    return std::make_unique<BrowserToolSession>(*session);
}

} // namespace

MCPServer::MCPServer(BrowserSession* session, AgentActivity& activity, FlowStore* flows, ProfileStore* profiles)
    : MCPServer(toolSessionOf(session), activity, flows, profiles) {
    // The store serves the session the server drives.
    if (profiles_) profiles_->setSession(session->weak_from_this());
}

MCPServer::MCPServer(std::unique_ptr<ToolSession> session, AgentActivity& activity, FlowStore* flows,
                     ProfileStore* profiles)
    : session_(std::move(session)), activity_(activity), flows_(flows), profiles_(profiles) {
    if (!session_) throw std::invalid_argument("The agent server needs a browser session.");
}

MCPServer::~MCPServer() = default;

Task<std::optional<std::string>> MCPServer::handle(std::string line) {
    Json message = parseable(line) ? Json::parse(line, nullptr, /*allow_exceptions=*/false) : Json(Json::value_t::discarded);
    if (message.is_discarded() || !message.is_object() || !message.contains("method") || !message["method"].is_string()) {
        co_return encode(errorReply(nullptr, -32700, "Parse error"), nullptr);
    }
    // A message without an id is a notification: nothing is done and nothing answered.
    auto idEntry = message.find("id");
    if (idEntry == message.end()) co_return std::nullopt;
    Json id = *idEntry;

    Json params = Json::object();
    if (auto found = message.find("params"); found != message.end() && found->is_object()) params = *found;
    std::string method = message["method"].get<std::string>();

    Json reply;
    try {
        Json result = co_await dispatch(method, params);
        reply = Json::object();
        reply["jsonrpc"] = "2.0";
        reply["id"] = id;
        reply["result"] = std::move(result);
    } catch (const ProtocolError& error) {
        reply = errorReply(id, error.code, error.message);
    } catch (...) {
        reply = errorReply(id, internalErrorCode, internalErrorMessage);
    }
    co_return encode(reply, id);
}

Task<Json> MCPServer::dispatch(const std::string& method, const Json& params) {
    if (method == "initialize") {
        Json result = Json::object();
        auto version = params.find("protocolVersion");
        result["protocolVersion"] = version != params.end() && version->is_string() ? *version : Json(protocolVersion);
        result["capabilities"] = Json{{"tools", Json::object()}};
        Json info = Json::object();
        info["name"] = serverName;
        info["version"] = serverVersion;
        result["serverInfo"] = std::move(info);
        co_return result;
    }
    if (method == "ping") co_return Json::object();
    if (method == "tools/list") {
        Json tools = Json::array();
        for (const auto& tool : Tool::all()) tools.push_back(tool.schema());
        co_return Json{{"tools", std::move(tools)}};
    }
    if (method == "tools/call") {
        std::string name;
        if (auto found = params.find("name"); found != params.end() && found->is_string()) name = found->get<std::string>();
        Json arguments = Json::object();
        if (auto found = params.find("arguments"); found != params.end() && found->is_object()) arguments = *found;
        ToolResult result = co_await callTool(std::move(name), std::move(arguments));
        co_return result.toJSON();
    }
    throw ProtocolError{-32601, "Method not found: " + method};
}

} // namespace vesk
