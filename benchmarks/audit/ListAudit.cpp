// The Vesk half of the element-list audit. For each page it loads the page
// through the MCP tools as the agent does (navigate, snapshot, and find for a
// few names), keeps every answer as the agent reads it, finds each listed
// element in its frame through the page agent's "locator" (role, name and a
// CSS selector), and runs checks.js in the page's own world of every frame
// to judge each element where it lies and to look for what a person could
// click that the list leaves out. listeners.js runs at document start in
// every frame to note the page's listeners. Writes one JSON document with
// everything it saw; report.mjs judges it. Run under a display:
//   scripts/test-session build/benchmarks/ListAudit CHECKS LISTENERS PAGES OUT
// where PAGES is a JSON list of {group, name, url}.

#include "BrowserCore/PageAgent/FrameChannel.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/MCPServer.h"
#include "BrowserMCP/PageRendering.h"
#include "Platform/Clock.h"

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using nlohmann::json;
using namespace vesk;

namespace {

// How many find calls a page gets, for names that the list leaves out or
// lists twice.
constexpr std::size_t findLimit = 4;

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

template <typename T>
T finish(Task<T> task, Duration deadline = seconds(120)) {
    auto end = Clock::now() + deadline;
    guint tick = g_timeout_add(10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!task.isDone() && Clock::now() < end) g_main_context_iteration(nullptr, TRUE);
    g_source_remove(tick);
    if (!task.isDone()) {
        task.cancel();
        throw std::runtime_error("no answer within the audit's deadline");
    }
    return task.result();
}

// Runs the body of a function in the page's own world of one frame (0: the
// main frame) and gives back its JSON value.
Task<json> inFrame(WebKitWebView* view, std::uint64_t frame, std::string body) {
    WebKitUserMessage* message = webkit_user_message_new("vesk.page-call", g_variant_new("(ts)", frame, body.c_str()));
    FrameAnswerText answer = co_await sendToFrame(view, message);
    if (answer.outcome == 0) co_return json::parse(answer.text, nullptr, false);
    if (answer.outcome == 1) co_return json();
    throw std::runtime_error(answer.outcome == 3 ? "the frame is gone" : "the checks failed: " + answer.text);
}

// The element lines of an answer, as the agent reads them: "[e12] button …".
// The lines that repeat a covering dialog's controls and the text are not
// element lines of their own.
json elementLines(const std::string& answer) {
    json lines = json::array();
    std::istringstream in(answer);
    bool inElements = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Elements", 0) == 0) inElements = true;
        else if (line.rfind("Covered:", 0) == 0 || line.rfind("Text", 0) == 0 || line.rfind("Lines of text", 0) == 0) inElements = false;
        if (!inElements || line.rfind("[e", 0) != 0) continue;
        auto close = line.find("] ");
        if (close == std::string::npos) continue;
        std::string ref = line.substr(1, close - 1);
        json entry = {{"ref", ref}, {"line", line.substr(close + 2)}};
        if (ref.find(" to ") != std::string::npos) entry["run"] = true;
        lines.push_back(entry);
    }
    return lines;
}

class Audit {
public:
    Audit(std::string checks, std::string listeners) : checks_(std::move(checks)) {
        BrowserSession::Options options;
        options.settleTimeout = seconds(2);
        session_ = BrowserSession::create(options);
        mcp_ = std::make_unique<MCPServer>(session_.get(), activity_, nullptr, nullptr);
        WebKitUserScript* script = webkit_user_script_new(listeners.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                                          WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
        webkit_user_content_manager_add_script(webkit_web_view_get_user_content_manager(view()), script);
        webkit_user_script_unref(script);
    }

    json page(const json& page) {
        json out = {{"group", page.value("group", "")}, {"name", page.value("name", "")}, {"url", page.at("url")},
                    {"answers", json::array()}, {"elements", json::object()}, {"frames", json::array()},
                    {"errors", json::array()}};
        // A window the page before opened would take the snapshots.
        for (const auto& popup : std::vector(session_->popups.get())) session_->closePopup(popup.get());
        try {
            answer(out, "navigate", {{"url", page.at("url")}});
            answer(out, "snapshot", json::object());
            std::map<std::string, PageElement> elements = listed();
            check(out, elements);
            for (const std::string& query : findQueries(out)) answer(out, "find", {{"text", query}});
            std::map<std::string, PageElement> more;
            for (auto& [ref, element] : listedInAnswers(out)) {
                if (!out["elements"].contains(ref)) more[ref] = element;
            }
            if (!more.empty()) check(out, more, false);
            if (auto snapshot = session_->currentSnapshot()) {
                out["title"] = snapshot->title;
                if (snapshot->cover) out["cover"] = {{"name", snapshot->cover->name}, {"refs", snapshot->cover->refs}};
            }
        } catch (const std::exception& error) {
            out["errors"].push_back(error.what());
        }
        return out;
    }

private:
    WebKitWebView* view() const { return session_->page->get(); }

    // Calls one tool as the agent does and keeps its answer and lines.
    void answer(json& out, const std::string& tool, json arguments) {
        json request = {{"jsonrpc", "2.0"}, {"id", ++calls_}, {"method", "tools/call"}};
        request["params"] = {{"name", tool}, {"arguments", arguments}};
        auto reply = finish(mcp_->handle(request.dump()));
        json result = reply ? json::parse(*reply).value("result", json::object()) : json::object();
        std::string text;
        for (const auto& item : result.value("content", json::array())) {
            if (item.value("type", "") == "text") text += item.value("text", "");
        }
        json entry = {{"tool", tool}, {"text", text}, {"lines", elementLines(text)}};
        if (arguments.contains("text")) entry["query"] = arguments["text"];
        if (result.value("isError", false)) entry["failed"] = true;
        out["answers"].push_back(entry);
        if (auto snapshot = session_->currentSnapshot()) {
            for (const auto& element : snapshot->elements) scanned_[element.ref] = element;
        }
    }

    // Every element of the latest scan: what snapshot lists, and what find
    // reaches past its cap.
    std::map<std::string, PageElement> listed() {
        std::map<std::string, PageElement> out;
        if (auto snapshot = session_->currentSnapshot()) {
            for (const auto& element : snapshot->elements) out[element.ref] = element;
        }
        return out;
    }

    std::map<std::string, PageElement> listedInAnswers(const json& out) {
        std::map<std::string, PageElement> found;
        for (const auto& answer : out["answers"]) {
            for (const auto& line : answer["lines"]) {
                auto ref = line["ref"].get<std::string>();
                if (auto at = scanned_.find(ref); at != scanned_.end()) found[ref] = at->second;
            }
        }
        return found;
    }

    // Texts of what a person could click that no line lists, then names
    // that two lines share: what an agent would look for with find.
    std::vector<std::string> findQueries(const json& out) {
        std::vector<std::string> queries;
        auto add = [&](const std::string& text) {
            if (!text.empty() && text.size() <= 40 && queries.size() < findLimit &&
                std::find(queries.begin(), queries.end(), text) == queries.end()) {
                queries.push_back(text);
            }
        };
        for (const auto& frame : out["frames"]) {
            for (const auto& missing : frame["clickable"].value("missing", json::array())) {
                if (queries.size() < findLimit / 2) add(missing.value("text", ""));
            }
        }
        std::map<std::string, int> names;
        for (const auto& [ref, element] : out["elements"].items()) {
            if (!element.value("name", "").empty()) names[element.value("name", "")]++;
        }
        for (const auto& [name, count] : names) {
            if (count > 1) add(name);
        }
        return queries;
    }

    // Locates each element in its frame and runs the checks in every frame.
    void check(json& out, const std::map<std::string, PageElement>& elements, bool everyFrame = true) {
        const PageSnapshot page = session_->currentSnapshot().value_or(PageSnapshot{});
        const auto duplicates = PageRendering::duplicateLinkNames(page.elements);
        std::map<std::uint64_t, json> byFrame;
        for (const auto& [ref, element] : elements) {
            json record = {{"role", element.role}, {"name", element.name},
                           {"line", PageRendering::elementLine(element, page.url, &duplicates)}};
            if (element.context) record["context"] = *element.context;
            if (element.value) record["value"] = *element.value;
            std::uint64_t frame = 0;
            if (auto info = session_->frameForRef(ref); info && !info->isMain) frame = webProcessFrameID(*info);
            try {
                auto located = finish(session_->agentCall("locator", {{"ref", ref}}));
                if (located) record["locator"] = *located;
            } catch (const std::exception& error) {
                record["locatorError"] = error.what();
            }
            json item = {{"ref", ref}, {"role", element.role}, {"name", element.name}, {"line", record["line"]}};
            if (record.contains("locator")) item["selector"] = record["locator"].value("selector", "");
            if (element.context) item["context"] = *element.context;
            byFrame[frame].push_back(item);
            record["frameId"] = frame;
            out["elements"][ref] = record;
        }
        std::set<std::uint64_t> frames = {0};
        if (everyFrame) {
            if (auto known = session_->frames.known.find(view()); known != session_->frames.known.end()) {
                for (const auto& frame : known->second) frames.insert(webProcessFrameID(frame.info));
            }
        }
        for (const auto& [frame, items] : byFrame) frames.insert(frame);
        for (std::uint64_t frame : frames) {
            json args = {{"elements", byFrame.contains(frame) ? byFrame[frame] : json::array()}};
            json result;
            try {
                result = finish(inFrame(view(), frame, "return (" + checks_ + ")(" + args.dump() + ");"));
            } catch (const std::exception& error) {
                if (byFrame.contains(frame)) out["errors"].push_back("frame " + std::to_string(frame) + ": " + error.what());
                continue;
            }
            if (!result.is_object()) continue;
            for (auto& [ref, checked] : result["elements"].items()) {
                out["elements"][ref]["checks"] = checked;
                out["elements"][ref]["framePath"] = result["path"];
            }
            result.erase("elements");
            result["id"] = frame;
            if (everyFrame) out["frames"].push_back(result);
        }
    }

    std::string checks_;
    std::shared_ptr<BrowserSession> session_;
    AgentActivity activity_;
    std::unique_ptr<MCPServer> mcp_;
    std::map<std::string, PageElement> scanned_;
    int calls_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: ListAudit CHECKS.js LISTENERS.js PAGES.json OUT.json\n");
        return 2;
    }
    if (!gtk_init_check()) {
        std::fprintf(stderr, "ListAudit needs a display: run it in scripts/test-session\n");
        return 1;
    }
    try {
        Audit audit(readFile(argv[1]), readFile(argv[2]));
        json pages = json::parse(readFile(argv[3]));
        json out = json::array();
        for (const auto& page : pages) {
            std::fprintf(stderr, "vesk: %s\n", page.value("url", "").c_str());
            out.push_back(audit.page(page));
            std::ofstream(argv[4]) << out.dump(1);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ListAudit: %s\n", error.what());
        return 1;
    }
    return 0;
}
