// The switch over the tool names and the page tools that load and read the
// page: each reads its arguments, runs one session operation and renders what
// it gives. Texts from the page are redacted before they are rendered.

#include "BrowserMCP/MCPServer.h"

#include "BrowserCore/Errors/BrowserError.h"
#include "BrowserMCP/PageRendering.h"
#include "BrowserMCP/Tool.h"
#include "BrowserMCP/ToolArguments.h"
#include "BrowserMCP/ToolError.h"
#include "Platform/JsonNesting.h"
#include "Platform/Text.h"

#include <glib.h>

#include <algorithm>
#include <functional>

namespace vesk {

namespace {

Json itemList(Json item) {
    Json items = Json::array();
    items.push_back(std::move(item));
    return items;
}

// Any absolute or relative reference parses; the session refuses the schemes
// it does not load.
bool parsesAsURL(const std::string& text) {
    if (text.empty()) return false;
    return g_uri_split(text.c_str(), G_URI_FLAGS_PARSE_RELAXED, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr);
}

} // namespace

Task<Json> MCPServer::runTool(std::string name, Json arguments) {
    // The page before the call: what an action's result is compared with.
    std::optional<PageSnapshot> before = session_->currentSnapshot();
    if (name == "navigate") co_return co_await navigateTool(std::move(arguments));
    if (name == "back") co_return pageText(co_await session_->goBack(), true);
    if (name == "forward") co_return pageText(co_await session_->goForward(), true);
    if (name == "reload") co_return pageText(co_await session_->reload(), true);
    if (name == "snapshot") co_return co_await snapshotTool();
    if (name == "find") co_return co_await findTool(std::move(arguments));
    if (name == "evaluate") co_return co_await evaluateTool(std::move(arguments));
    if (name == "console") co_return consoleTool();
    if (name == "network") co_return networkTool(arguments);
    if (name == "screenshot") co_return co_await screenshotTool();
    if (name == "window") co_return co_await windowTool(std::move(arguments));
    if (actingTools().contains(name) || name == "scroll") {
        co_return co_await actingTool(name, std::move(arguments), std::move(before));
    }
    if (name == "wait_for") co_return co_await waitForTool(std::move(arguments));
    if (name == "record_start" || name == "record_stop" || name == "list_flows" || name == "run_flow" ||
        name == "repair_flow") {
        co_return co_await flowTool(name, std::move(arguments));
    }
    if (name == "list_profiles") co_return listProfilesTool();
    if (name == "use_profile") co_return co_await useProfileTool(std::move(arguments));
    throw ToolError::unknownTool(name);
}

Json MCPServer::pageText(const PageSnapshot& page, bool compact) const {
    return itemList(textItem(PageRendering::snapshot(session_->redactSnapshot(page), compact)));
}

Task<Json> MCPServer::navigateTool(Json arguments) {
    std::string url = requiredString("url", arguments);
    if (!parsesAsURL(url)) throw BrowserError::invalidURL(url);
    co_return pageText(co_await session_->navigate(url), true);
}

Task<Json> MCPServer::snapshotTool() {
    // A fresh scan, not the stored snapshot: the page may have changed since.
    co_return pageText(co_await session_->scan(), false);
}

Task<Json> MCPServer::findTool(Json arguments) {
    std::string query = requiredString("text", arguments);
    PageSnapshot page = session_->redactSnapshot(co_await session_->scan());
    co_return itemList(textItem(PageRendering::find(query, page)));
}

namespace {

// Each text of a JSON value, keys included, with its stored values hidden:
// JSON writes a quote, a backslash or a line break of a value escaped, where
// the redaction of the whole text would not know it.
void redactStrings(nlohmann::ordered_json& value, const std::function<std::string(std::string_view)>& redact) {
    if (value.is_string()) {
        value = redact(value.get_ref<const std::string&>());
    } else if (value.is_array()) {
        for (auto& item : value) redactStrings(item, redact);
    } else if (value.is_object()) {
        nlohmann::ordered_json out = nlohmann::ordered_json::object();
        for (auto& [key, item] : value.items()) {
            redactStrings(item, redact);
            out[redact(key)] = std::move(item);
        }
        value = std::move(out);
    }
}

std::string redactedJSON(const std::string& text, const std::function<std::string(std::string_view)>& redact) {
    // A page's value may nest as deep as it likes; copying and walking a
    // parsed one recurses once per level. A deeper one stays text, which is
    // redacted as a whole, its escaped strings included.
    if (jsonNestsDeeperThan(text)) return text;
    auto value = nlohmann::ordered_json::parse(text, nullptr, false);
    if (value.is_discarded()) return text;
    auto redacted = value;
    redactStrings(redacted, redact);
    // The page's own JSON text stays as it was when nothing in it was hidden.
    return redacted == value ? text : redacted.dump();
}

} // namespace

Task<Json> MCPServer::evaluateTool(Json arguments) {
    std::string script = requiredString("script", arguments);
    std::optional<std::string> value = co_await session_->evaluate(script);
    std::string raw = value.value_or("undefined");
    std::string shown =
        session_->redact(redactedJSON(raw, [this](std::string_view text) { return session_->redact(text); }));
    // The length told is that of the whole result, also past the cut that
    // redaction makes.
    std::size_t rawLength = text::characterCount(text::validUtf8(raw));
    std::size_t cutAway = rawLength > BrowserSession::redactionLimit ? rawLength - BrowserSession::redactionLimit : 0;
    co_return itemList(textItem(PageRendering::evaluateResult(shown, text::characterCount(shown) + cutAway)));
}

Json MCPServer::consoleTool() {
    auto taken = session_->consoleMessages();
    for (auto& message : taken.messages) message.text = session_->redact(message.text);
    auto dropped = static_cast<std::size_t>(std::max<std::int64_t>(taken.leftOut, 0));
    return itemList(textItem(PageRendering::console(taken.messages, dropped)));
}

Json MCPServer::networkTool(const Json& arguments) {
    bool failedOnly = flagArgument("failed", arguments);
    auto taken = session_->networkRequests(failedOnly);
    for (auto& request : taken.requests) request.url = session_->redact(request.url);
    auto dropped = static_cast<std::size_t>(std::max<std::int64_t>(taken.leftOut, 0));
    return itemList(textItem(PageRendering::network(taken.requests, dropped, failedOnly)));
}

Task<Json> MCPServer::screenshotTool() {
    std::vector<std::uint8_t> png = co_await session_->screenshot();
    gchar* base64 = g_base64_encode(png.data(), png.size());
    Json item = Json::object();
    item["type"] = "image";
    item["data"] = std::string(base64);
    item["mimeType"] = "image/png";
    g_free(base64);
    co_return itemList(std::move(item));
}

Task<Json> MCPServer::windowTool(Json arguments) {
    std::string id = requiredString("window", arguments);
    if (flagArgument("close", arguments)) {
        co_await session_->closeWindow(id);
    } else {
        session_->selectWindow(id);
    }
    co_return pageText(co_await session_->scan(), false);
}

} // namespace vesk
