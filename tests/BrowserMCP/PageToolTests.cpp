// The page tools on a session stand-in: which operation each runs, how its
// arguments are read and how what it gives is rendered.

#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/MCPServer.h"
#include "BrowserMCP/PageRendering.h"
#include "SessionDouble.h"
#include "Support/MainLoop.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <string>
#include <tuple>
#include <vector>

using namespace vesk;
using namespace vesk::test;

namespace {

class PageToolTest : public testing::Test {
protected:
    AgentActivity activity;
    SessionDouble* session = nullptr;
    std::unique_ptr<MCPServer> server;

    void SetUp() override {
        auto owned = std::make_unique<SessionDouble>();
        session = owned.get();
        server = std::make_unique<MCPServer>(std::move(owned), activity, nullptr, nullptr);
        session->page.url = "http://127.0.0.1/start";
        session->page.title = "Start";
        session->page.text = "Welcome";
    }

    Json call(const std::string& name, const Json& arguments = Json::object()) {
        Json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"}};
        request["params"] = {{"name", name}, {"arguments", arguments}};
        auto reply = runTask(server->handle(request.dump()));
        EXPECT_TRUE(reply);
        return reply ? Json::parse(*reply)["result"] : Json();
    }
    std::string errorOf(const std::string& name, const Json& arguments = Json::object()) {
        auto result = call(name, arguments);
        EXPECT_EQ(result["isError"], true) << name;
        return result["content"][0]["text"];
    }
    static std::string quotedError(const std::string& text) {
        return PageRendering::pageContent(PageRendering::quoteLines(text));
    }
};

} // namespace

TEST_F(PageToolTest, LoadsRenderTheCompactPageAndReadsRenderTheFullOne) {
    session->secret = "Welcome";
    session->reference = "${GREETING}";
    PageSnapshot shown = session->redactSnapshot(session->page);

    auto navigated = call("navigate", {{"url", "http://127.0.0.1/start"}, {"ref", "ignored"}});
    EXPECT_EQ(navigated["content"][0]["text"], PageRendering::snapshot(shown, true));
    for (const char* tool : {"back", "forward", "reload"}) {
        EXPECT_EQ(call(tool)["content"][0]["text"], PageRendering::snapshot(shown, true)) << tool;
    }
    EXPECT_EQ(call("snapshot")["content"][0]["text"], PageRendering::snapshot(shown, false));
    EXPECT_EQ(session->calls,
              (std::vector<std::string>{"navigate http://127.0.0.1/start", "goBack", "goForward", "reload", "scan"}));
}

TEST_F(PageToolTest, NavigateNeedsAURLButLeavesTheSchemeToTheSession) {
    EXPECT_EQ(errorOf("navigate"), quotedError("Missing required argument: url"));
    EXPECT_EQ(errorOf("navigate", {{"url", 5}}), quotedError("Missing required argument: url"));
    EXPECT_EQ(errorOf("navigate", {{"url", ""}}), quotedError("Invalid URL: "));
    EXPECT_TRUE(session->calls.empty());
    call("navigate", {{"url", "example.com"}});
    EXPECT_EQ(session->calls, std::vector<std::string>{"navigate example.com"});
}

TEST_F(PageToolTest, FindSearchesAFreshScanForTheQueryAsSent) {
    session->secret = "Welcome";
    session->reference = "${GREETING}";
    auto result = call("find", {{"text", "Welcome"}});
    // The page is redacted before the search; the whole answer after it.
    EXPECT_EQ(result["content"][0]["text"],
              session->redact(PageRendering::find("Welcome", session->redactSnapshot(session->page))));
    EXPECT_EQ(session->calls, std::vector<std::string>{"scan"});
    EXPECT_EQ(errorOf("find"), quotedError("Missing required argument: text"));
}

TEST_F(PageToolTest, EvaluateTellsTheWholeLengthOfALongResult) {
    session->scriptValue = std::nullopt;
    auto undefinedResult = call("evaluate", {{"script", "void 0"}});
    EXPECT_EQ(undefinedResult["content"][0]["text"], PageRendering::evaluateResult("undefined", 9));
    EXPECT_FALSE(undefinedResult.contains("_meta"));

    std::string huge(BrowserSession::redactionLimit + 5, 'a');
    session->scriptValue = huge;
    auto result = call("evaluate", {{"script", "return x"}});
    EXPECT_EQ(result["content"][0]["text"],
              PageRendering::evaluateResult(huge.substr(0, BrowserSession::redactionLimit), huge.size()));
    EXPECT_EQ(errorOf("evaluate", {{"script", true}}), quotedError("Missing required argument: script"));
}

TEST_F(PageToolTest, ConsoleAndNetworkRedactWhatThePageWrote) {
    session->secret = "s3cret";
    session->reference = "${KEY}";
    ConsoleMessage message;
    message.level = ConsoleMessage::Level::error;
    message.text = "bad key s3cret";
    session->consoleTaken = {{message}, 3};
    ConsoleMessage redacted = message;
    redacted.text = "bad key ${KEY}";
    EXPECT_EQ(call("console")["content"][0]["text"], PageRendering::console({redacted}, 3));

    NetworkRequest request;
    request.method = "GET";
    request.url = "http://127.0.0.1/api?key=s3cret";
    request.status = 404;
    session->networkTaken = {{request}, 0};
    NetworkRequest shown = request;
    shown.url = "http://127.0.0.1/api?key=${KEY}";
    EXPECT_EQ(call("network", {{"failed", 1}})["content"][0]["text"], PageRendering::network({shown}, 0, true));
    EXPECT_EQ(call("network", {{"failed", "true"}})["content"][0]["text"], PageRendering::network({shown}, 0, false));
    EXPECT_EQ(session->calls,
              (std::vector<std::string>{"consoleMessages", "networkRequests failed", "networkRequests"}));
}

TEST_F(PageToolTest, AScreenshotIsOnePNGImageFollowedOnlyByTheWindowNote) {
    session->png = {0x89, 'P', 'N', 'G', 0, 0xff};
    session->open = {{"main", "http://127.0.0.1/", false}, {"w1", "http://127.0.0.1/popup", true}};
    auto result = call("screenshot");
    ASSERT_EQ(result["content"].size(), 2u);
    const auto& image = result["content"][0];
    EXPECT_EQ(image["type"], "image");
    EXPECT_EQ(image["mimeType"], "image/png");
    gsize size = 0;
    guchar* decoded = g_base64_decode(image["data"].get<std::string>().c_str(), &size);
    EXPECT_EQ(std::vector<std::uint8_t>(decoded, decoded + size), session->png);
    g_free(decoded);
    EXPECT_EQ(result["content"][1]["type"], "text");
}

TEST_F(PageToolTest, WindowSelectsOrClosesAndThenReadsTheWindow) {
    auto main = call("window", {{"window", "main"}});
    EXPECT_EQ(main["content"][0]["text"], PageRendering::snapshot(session->page, false));
    EXPECT_EQ(session->calls, (std::vector<std::string>{"selectWindow main", "scan"}));

    session->calls.clear();
    EXPECT_EQ(errorOf("window", {{"window", "main"}, {"close", true}}), quotedError(BrowserError::noWindow("main").description()));
    // A failed close reads nothing.
    EXPECT_EQ(session->calls, std::vector<std::string>{"closeWindow main"});
    EXPECT_EQ(errorOf("window", {{"close", true}}), quotedError("Missing required argument: window"));
}

TEST_F(PageToolTest, ToolsWithoutTheirSessionOperationAnswerThatTheyAreNotAvailable) {
    for (const char* tool : {"record_stop", "list_flows", "run_flow", "repair_flow", "list_profiles", "use_profile"}) {
        EXPECT_EQ(errorOf(tool, {{"ref", "e1"}}),
                  quotedError(std::string("The tool ") + tool + " is not available yet: it was not run."));
    }
    EXPECT_TRUE(session->calls.empty());
    EXPECT_EQ(errorOf("Snapshot"), quotedError("Unknown tool: Snapshot"));
}

TEST_F(PageToolTest, ActingToolsReadTheirArgumentsInOrderAndReportWhatChanged) {
    EXPECT_EQ(errorOf("fill", {{"text", "x"}}), quotedError("Missing required argument: ref"));
    EXPECT_EQ(errorOf("fill", {{"ref", "e1"}}), quotedError("Missing required argument: text"));
    EXPECT_EQ(errorOf("select", {{"ref", "e1"}}), quotedError("Missing required argument: option"));
    EXPECT_EQ(errorOf("press", {{"ref", "e1"}}), quotedError("Missing required argument: key"));
    EXPECT_TRUE(session->calls.empty());

    session->actionResult.url = "http://shop.test/cart";
    session->actionResult.title = "Cart";
    session->actionResult.window = "main";
    for (auto [tool, arguments, expected] : std::vector<std::tuple<const char*, Json, const char*>>{
             {"click", {{"ref", "e1"}}, "click e1"},
             {"hover", {{"ref", "e2"}}, "hover e2"},
             {"fill", {{"ref", "e3"}, {"text", "${USER}"}}, "fill e3 ${USER}"},
             {"select", {{"ref", "e4"}, {"option", "Red"}}, "select e4 Red"},
             {"press", {{"key", "Enter"}}, "press Enter"},
             {"press", {{"key", "Tab"}, {"ref", "e5"}}, "press Tab e5"},
             {"scroll", {{"ref", "e6"}, {"dy", 400}}, "scrollTo e6"},
             {"scroll", {{"dy", 400}}, "scrollBy 0 400"},
             {"scroll", Json::object(), "scrollBy 0 0"},
         }) {
        session->calls.clear();
        auto result = call(tool, arguments);
        EXPECT_EQ(result["isError"], false) << tool;
        EXPECT_EQ(session->calls, std::vector<std::string>{expected});
        EXPECT_EQ(result["content"][0]["text"], PageRendering::actionResult(session->actionResult, std::nullopt, std::nullopt))
            << tool;
    }
}

TEST_F(PageToolTest, WaitForTakesExactlyOneWayAndItsOwnTimeout) {
    const std::string fiveWays = "Give exactly one of text, selector, request, url, console_errors";
    EXPECT_EQ(errorOf("wait_for", {{"text", "a"}, {"selector", "b"}}), quotedError(fiveWays));
    EXPECT_EQ(errorOf("wait_for", {{"console_errors", false}}), quotedError(fiveWays));
    EXPECT_EQ(errorOf("wait_for", {{"url", "x"}, {"absent", true}}), quotedError("Give exactly one of text, selector"));
    EXPECT_TRUE(session->calls.empty());

    EXPECT_EQ(call("wait_for", {{"text", 3}, {"selector", "#done"}})["content"][0]["text"], "Found.");
    EXPECT_EQ(call("wait_for", {{"text", "Loading"}, {"absent", true}, {"timeout_seconds", 1000}})["content"][0]["text"],
              "Gone.");
    EXPECT_EQ(call("wait_for", {{"request", "POST /api"}})["content"][0]["text"], "Found.");
    EXPECT_EQ(call("wait_for", {{"console_errors", true}, {"timeout_seconds", 5}})["content"][0]["text"],
              "No console errors.");
    EXPECT_EQ(session->calls, (std::vector<std::string>{"waitForSelector #done 10.000000", "waitForText Loading gone 300.000000",
                                                        "waitForRequest POST /api 2xx 10.000000", "expectNoConsoleErrors"}));
}
