// The person's pause reaches a flow the agent is running: on real WebKit,
// against slow pages served on loopback.

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/MCPServer.h"
#include "BrowserMCP/PageRendering.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"

#include <glib.h>
#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

TEST(PausedFlow, TheStepAfterThePauseFailsWithItsTextAndTheRestAreSkipped) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
    AgentActivity activity;
    LoopbackServer server;
    // Each load takes a while; the person pauses while the second one runs.
    server.handle("/load", [&](const LoopbackServer::Request& request) {
        if (request.query == "2") activity.isPaused.set(true);
        LoopbackServer::Response response;
        response.body = "<title>Load " + request.query + "</title><p>Load " + request.query;
        response.delay = milliseconds(500);
        return response;
    });
    auto session = BrowserSession::create({});
    gchar* made = g_dir_make_tmp("vesk-paused-flow-XXXXXX", nullptr);
    std::filesystem::path folder = made;
    g_free(made);
    FlowStore flows(folder, folder);
    MCPServer mcp(session.get(), activity, &flows, nullptr);

    Flow flow{"slow", {}};
    for (int n = 1; n <= 4; ++n) {
        flow.steps.push_back({.action = FlowStep::Action::navigate, .value = server.url("/load?" + std::to_string(n))});
    }
    Json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"}};
    request["params"] = {{"name", "run_flow"}, {"arguments", {{"flow", flow.encoded()}}}};
    Json result = Json::parse(*runTask(mcp.handle(request.dump()), seconds(60)))["result"];
    std::filesystem::remove_all(folder);

    const std::string url = server.url("/load?");
    EXPECT_EQ(result["content"][0]["text"],
              PageRendering::pageContent({"Flow \"slow\": FAILED (2 of 4 steps passed)\n"
                                          "\u2713 1. navigate " + url + "1\n"
                                          "\u2713 2. navigate " + url + "2\n"
                                          "\u2717 3. navigate " + url + "3: " + MCPServer::pausedText + "\n"
                                          "\u2013 4. navigate " + url + "4 (skipped)"}));
    EXPECT_EQ(server.hits("/load"), 2u) << "nothing loaded after the pause";
    EXPECT_EQ(*session->url, url + "2");
}
