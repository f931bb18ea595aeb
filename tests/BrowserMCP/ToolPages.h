#pragma once

// A real session driven through the agent server's tools, on pages the test
// serves: what the agent reads of a page and of an action, and the refs of
// its element lines.

#include "BrowserCore/Session/SessionPages.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/MCPServer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>

namespace vesk::test {

class ToolPages : public testing::Test {
protected:
    void SetUp() override {
        if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
        session = actionSession();
        mcp = std::make_unique<MCPServer>(session.get(), activity, nullptr, nullptr);
    }

    // The first text of the tool's answer.
    std::string call(const std::string& name, nlohmann::json arguments = nlohmann::json::object()) {
        nlohmann::json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"}};
        request["params"] = {{"name", name}, {"arguments", arguments}};
        auto reply = runTask(mcp->handle(request.dump()));
        nlohmann::json result = reply ? nlohmann::json::parse(*reply)["result"] : nlohmann::json();
        return result.value("content", nlohmann::json::array()).empty() ? std::string()
                                                                         : result["content"][0].value("text", "");
    }
    // The answer of navigate to one of the served pages.
    std::string open(const std::string& page) { return call("navigate", {{"url", server.url("/" + page)}}); }
    nlohmann::json evaluate(const std::string& script) { return pageValue(session->page->get(), script); }

    // The ref of the element line that is `line` whole.
    static std::string ref(const std::string& answer, const std::string& line) {
        return refOfLine(answer, line, true);
    }
    // The ref of the first element line that starts with `line`.
    static std::string refStartingWith(const std::string& answer, const std::string& line) {
        return refOfLine(answer, line, false);
    }
    static std::size_t count(const std::string& answer, const std::string& part) {
        std::size_t n = 0;
        for (auto at = answer.find(part); at != std::string::npos; at = answer.find(part, at + 1)) ++n;
        return n;
    }

    LoopbackServer server;
    std::shared_ptr<BrowserSession> session;
    AgentActivity activity;
    std::unique_ptr<MCPServer> mcp;

private:
    static std::string refOfLine(const std::string& answer, const std::string& line, bool whole) {
        const std::string part = "] " + line + (whole ? "\n" : "");
        for (auto at = answer.find(part); at != std::string::npos; at = answer.find(part, at + 1)) {
            auto open = answer.rfind("\n[e", at);
            if (open == std::string::npos || answer.find('\n', open + 1) < at) continue;
            std::string ref = answer.substr(open + 2, at - open - 2);
            if (ref.size() > 1 && ref.find_first_not_of("0123456789", 1) == std::string::npos) return ref;
        }
        ADD_FAILURE() << "no line " << line << " in\n" << answer;
        return "e0";
    }
};

} // namespace vesk::test
