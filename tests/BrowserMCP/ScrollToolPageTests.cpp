// The scroll tool on a page larger than the view both ways: it moves the page
// by the distances given, sideways as well as down.

#include "BrowserCore/Session/SessionPages.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/MCPServer.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

// A planning board as such apps draw it: a column per week, side by side in
// a grid far wider than any window, each column taller than the view.
constexpr const char* roadmap = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>Roadmap</title><style>
  body { margin: 0; font: 14px sans-serif; }
  #board { display: grid; grid-template-columns: repeat(24, 220px); gap: 12px; padding: 16px; }
  .week { min-height: 2400px; background: #f4f5f7; border-radius: 6px; padding: 8px; }
  .card { background: white; margin: 8px 0; padding: 8px; border-radius: 4px; }
</style></head><body><main id="board"></main><script>
  for (let week = 1; week <= 24; ++week) {
    const column = document.createElement('section');
    column.className = 'week';
    column.innerHTML = `<h2>Week ${week}</h2><div class="card">Release ${week}</div>`;
    document.getElementById('board').append(column);
  }
</script></body></html>)";

} // namespace

TEST(ScrollTool, MovesAPageWiderThanTheViewSidewaysAsWellAsDown) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
    LoopbackServer server;
    server.serve("/roadmap", roadmap);
    auto session = actionSession();
    AgentActivity activity;
    MCPServer mcp(session.get(), activity, nullptr, nullptr);
    auto call = [&](const std::string& name, Json arguments) {
        Json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"}};
        request["params"] = {{"name", name}, {"arguments", arguments}};
        auto reply = runTask(mcp.handle(request.dump()));
        ASSERT_TRUE(reply);
        Json result = Json::parse(*reply)["result"];
        EXPECT_EQ(result["isError"], false) << name << " " << arguments << ": " << result;
    };
    auto position = [&] { return pageValue(session->page->get(), "[scrollX, scrollY]"); };

    call("navigate", {{"url", server.url("/roadmap")}});
    call("scroll", {{"dx", 600}});
    EXPECT_EQ(position(), Json::array({600, 0}));
    call("scroll", {{"dx", -200}, {"dy", 300}});
    EXPECT_EQ(position(), Json::array({400, 300}));
}
