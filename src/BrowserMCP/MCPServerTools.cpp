// The road of one tool call: the pause gate, the activity entry, the race of
// the tool against its time limit, and the result the agent reads, with every
// text redacted, error texts capped and quoted, the note about open windows
// and the timed phases.

#include "BrowserMCP/MCPServer.h"

#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/PageRendering.h"
#include "BrowserMCP/ToolArguments.h"
#include "BrowserMCP/ToolError.h"
#include "Platform/Async.h"
#include "Platform/Text.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

namespace vesk {

namespace {

constexpr double defaultWaitSeconds = 10;
constexpr double longestWaitSeconds = 300;
constexpr const char* nothingToAnswer = "the page to answer";
constexpr const char* unknownFailure = "The tool failed without saying why.";

std::string curlyQuoted(const std::string& text) { return "\u201C" + text + "\u201D"; }

} // namespace

const std::set<std::string>& MCPServer::actingTools() {
    static const std::set<std::string> names{"click", "hover", "fill", "select", "press"};
    return names;
}

double MCPServer::waitSeconds(const Json& arguments) {
    double wait = numberArgument("timeout_seconds", arguments).value_or(defaultWaitSeconds);
    return std::clamp(wait, 0.0, longestWaitSeconds);
}

std::optional<Duration> MCPServer::timeLimit(const std::string& name, const Json& arguments) const {
    if (name == "run_flow") return std::nullopt;
    Duration limit = commandTimeout_;
    if (name == "wait_for") limit += seconds(waitSeconds(arguments));
    return limit;
}

std::string MCPServer::targetText(const std::string& name, const Json& arguments) const {
    if (auto url = stringArgument("url", arguments)) return *url;
    if (auto ref = stringArgument("ref", arguments)) {
        if (auto page = session_->currentSnapshot()) {
            if (auto element = page->element(*ref)) {
                return element->role + " " + (element->name.empty() ? *ref : curlyQuoted(element->name));
            }
        }
        return *ref;
    }
    for (const char* key : {"name", "window"}) {
        if (auto value = stringArgument(key, arguments)) return *value;
    }
    if (name == "wait_for" || name == "find") {
        for (const char* key : {"text", "selector", "request"}) {
            if (auto value = stringArgument(key, arguments)) return *value;
        }
    } else if (auto key = stringArgument("key", arguments)) {
        return *key;
    }
    return "";
}

Task<ToolResult> MCPServer::callTool(std::string name, Json arguments) {
    ToolResult result;
    if (*activity_.isPaused) {
        result.isError = true;
        result.content.push_back(textItem(pausedText));
        co_return result;
    }

    int entry = activity_.begin(name, targetText(name, arguments), Clock::now());
    session_->clearPhases();
    session_->markCommand();

    Json items = Json::array();
    std::optional<std::string> failure;
    try {
        items = co_await runWithinLimit(name, std::move(arguments));
    } catch (const ToolFailure& error) {
        failure = error.what();
        items = error.items();
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = unknownFailure;
    }

    // Whatever text a handler built, a secret value in it reaches the agent only as its ${NAME}.
    for (auto& item : items) {
        auto text = item.find("text");
        // Cut first, within the page-content wrapper when the cut falls there,
        // so that redaction has nothing left to cut.
        if (text != item.end() && text->is_string()) {
            *text = session_->redact(PageRendering::withinLimit(text->get<std::string>(), BrowserSession::redactionLimit));
        }
    }
    if (!failure) {
        for (auto& item : windowItems()) items.push_back(std::move(item));
        activity_.finish(entry, AgentActivity::Entry::Outcome::succeeded(), Clock::now());
        result.content = std::move(items);
    } else {
        std::string text = text::cut(session_->redact(*failure), errorTextLimit);
        activity_.finish(entry, AgentActivity::Entry::Outcome::failed(text), Clock::now());
        // An error text may carry the page's words: it is quoted as page content.
        result.content.push_back(textItem(PageRendering::pageContent(PageRendering::quoteLines(text))));
        for (auto& item : items) result.content.push_back(std::move(item));
        for (auto& item : windowItems()) result.content.push_back(std::move(item));
        result.isError = true;
    }
    result.meta = phaseMetadata();
    co_return result;
}

Task<Json> MCPServer::runWithinLimit(std::string name, Json arguments) {
    auto limit = timeLimit(name, arguments);
    if (!limit) co_return co_await runTool(std::move(name), std::move(arguments));
    bool acting = actingTools().contains(name);
    // The loser is cancelled and not awaited: a tool given up on may still
    // finish its work later, and what it gives then is dropped.
    co_return co_await race([&] { return runTool(name, arguments); },
                            [&] { return timeLimitTimer(name, *limit, acting); });
}

Task<Json> MCPServer::timeLimitTimer(std::string name, Duration limit, bool acting) {
    // A cancelled sleep ends the timer here, after the tool has answered.
    co_await sleepFor(limit);
    std::string waitingFor = session_->waitingFor().value_or(nothingToAnswer);
    throw ToolError::tookTooLong(name, limit, waitingFor, acting);
}

Json MCPServer::windowItems() {
    std::vector<BrowserSession::Window> open;
    for (const auto& window : session_->windows()) {
        open.push_back({window.id, session_->redact(window.url), window.isActive});
    }
    Json items = Json::array();
    if (auto text = PageRendering::windowContext(open, hadPopup_)) items.push_back(textItem(session_->redact(*text)));
    hadPopup_ = open.size() > 1;
    return items;
}

std::optional<Json> MCPServer::phaseMetadata() const {
    auto phases = session_->phases();
    if (!phases) return std::nullopt;

    // A holder's name can be a page's address: it is redacted like every
    // other text. Names that redact alike share one entry.
    std::vector<std::pair<std::string, Duration>> held;
    for (const auto& [holder, duration] : phases->heldBy) {
        std::string shown = session_->redact(holder);
        auto same = std::find_if(held.begin(), held.end(), [&](const auto& entry) { return entry.first == shown; });
        if (same == held.end()) {
            held.emplace_back(std::move(shown), duration);
        } else {
            same->second += duration;
        }
    }
    Json heldJSON = Json::object();
    for (const auto& [holder, duration] : held) heldJSON[holder] = toSeconds(duration);
    Json holders = Json::array();
    for (const auto& holder : phases->holders) holders.push_back(session_->redact(holder));

    Json record = Json::object();
    record["load"] = toSeconds(phases->load);
    record["settle"] = toSeconds(phases->settle);
    record["settled"] = phases->settled ? Json(*phases->settled) : Json(nullptr);
    record["snapshot"] = toSeconds(phases->snapshot);
    record["drawing"] = toSeconds(phases->drawing);
    record["held"] = std::move(heldJSON);
    record["holders"] = std::move(holders);
    Json meta = Json::object();
    meta["vesk/phases"] = std::move(record);
    return meta;
}

} // namespace vesk
