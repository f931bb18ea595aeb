// The tools that act on the page and the waits: each reads its arguments in
// the order that decides which missing one is named, runs one session
// operation, and reports what changed against the page before the call.

#include "BrowserMCP/MCPServer.h"

#include "BrowserMCP/PageRendering.h"
#include "BrowserMCP/ToolArguments.h"
#include "BrowserMCP/ToolError.h"

namespace vesk {

Task<Json> MCPServer::actingTool(const std::string& name, Json arguments, std::optional<PageSnapshot> before) {
    ActionResult result;
    if (name == "click") {
        result = co_await session_->click(requiredString("ref", arguments));
    } else if (name == "hover") {
        result = co_await session_->hover(requiredString("ref", arguments));
    } else if (name == "fill") {
        std::string ref = requiredString("ref", arguments);
        std::string text = requiredString("text", arguments);
        result = co_await session_->fill(std::move(ref), std::move(text));
    } else if (name == "select") {
        std::string ref = requiredString("ref", arguments);
        std::string option = requiredString("option", arguments);
        result = co_await session_->select(std::move(ref), std::move(option));
    } else if (name == "press") {
        std::string key = requiredString("key", arguments);
        result = co_await session_->press(std::move(key), stringArgument("ref", arguments));
    } else if (auto ref = stringArgument("ref", arguments)) {
        // scroll: a ref brings the element into view and the distances are ignored.
        result = co_await session_->scrollTo(std::move(*ref));
    } else {
        result = co_await session_->scrollBy(numberArgument("dx", arguments).value_or(0),
                                             numberArgument("dy", arguments).value_or(0));
    }
    co_return actionContent(std::move(result), before);
}

Json MCPServer::actionContent(ActionResult result, const std::optional<PageSnapshot>& before) const {
    ActionResult shown = session_->redactActionResult(std::move(result));
    std::optional<PageSnapshot> after = session_->currentSnapshot();
    if (after) after = session_->redactSnapshot(std::move(*after));
    std::optional<PageSnapshot> earlier;
    if (before) earlier = session_->redactSnapshot(*before);
    Json items = Json::array();
    items.push_back(textItem(PageRendering::actionResult(shown, after, earlier)));
    return items;
}

Task<Json> MCPServer::waitForTool(Json arguments) {
    Duration limit = seconds(waitSeconds(arguments));

    std::vector<std::string> given;
    for (const char* way : {"text", "selector", "request", "url"}) {
        if (stringArgument(way, arguments)) given.emplace_back(way);
    }
    if (flagArgument("console_errors", arguments)) given.emplace_back("console_errors");
    if (given.size() != 1) throw ToolError::oneOf({"text", "selector", "request", "url", "console_errors"});
    const std::string& way = given.front();

    bool absent = flagArgument("absent", arguments);
    if (absent && way != "text" && way != "selector") throw ToolError::oneOf({"text", "selector"});

    Json items = Json::array();
    if (way == "console_errors") {
        session_->expectNoConsoleErrors();
        items.push_back(textItem("No console errors."));
        co_return items;
    }
    std::string value = *stringArgument(way, arguments);
    if (way == "text") {
        co_await session_->waitForText(std::move(value), absent, limit);
    } else if (way == "selector") {
        co_await session_->waitForSelector(std::move(value), absent, limit);
    } else if (way == "url") {
        co_await session_->waitForURL(std::move(value), limit);
    } else {
        std::string status = stringArgument("status", arguments).value_or("2xx");
        co_await session_->waitForRequest(std::move(value), std::move(status), limit);
    }
    items.push_back(textItem(absent ? "Gone." : "Found."));
    co_return items;
}

} // namespace vesk
