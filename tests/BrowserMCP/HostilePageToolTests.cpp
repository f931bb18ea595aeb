// A page that shows a stored value everywhere it can: in its title, address,
// text, attributes, frame names, console, requests, dialogs and downloads.
// No tool's answer carries the value, only its ${NAME}.

#include "BrowserCore/Secrets/SiteKey.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/MCPServer.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

std::string fixture(const std::string& name) {
    gchar* text = nullptr;
    std::string path = std::string(SESSION_PAGES) + "/" + name;
    EXPECT_TRUE(g_file_get_contents(path.c_str(), &text, nullptr, nullptr)) << path;
    std::string page = text ? text : "";
    g_free(text);
    return page;
}

} // namespace

TEST(HostilePageTools, NoAnswerCarriesAStoredValueThePagePlanted) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
    LoopbackServer server;
    server.serve("/planted", fixture("planted.html"));
    LoopbackServer::Response file;
    file.body = "hunter2-xyz";
    file.contentType = "text/plain";
    server.serve("/planted-file", file);
    BrowserSession::Options options;
    options.settleTimeout = seconds(2);
    auto session = BrowserSession::create(options);
    std::string site = *siteKeyOfURL(server.url("/"));
    // Another site's values are hidden too, a quote and a backslash included.
    session->setVariables({{site, {{"TOKEN", "hunter2-xyz"}}}, {"example.com", {{"QUOTED", "pa\"ss\\word"}}}});
    AgentActivity activity;
    MCPServer mcp(session.get(), activity, nullptr, nullptr);

    std::string answers;
    auto call = [&](const std::string& name, Json arguments = Json::object()) {
        Json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"}};
        request["params"] = {{"name", name}, {"arguments", arguments}};
        auto reply = runTask(mcp.handle(request.dump()));
        EXPECT_TRUE(reply);
        answers += reply.value_or("") + "\n";
        return reply ? Json::parse(*reply)["result"] : Json();
    };
    auto refNamed = [&](const std::string& name) {
        PageSnapshot page = *session->currentSnapshot();
        for (const auto& element : page.elements) {
            if (element.name.find(name) != std::string::npos) return element.ref;
        }
        ADD_FAILURE() << "no element " << name;
        return std::string("e0");
    };

    call("navigate", {{"url", server.url("/planted?hunter2-xyz")}});
    call("snapshot");
    call("find", {{"text", "code"}});
    call("click", {{"ref", refNamed("Pay")}});
    call("click", {{"ref", refNamed("Get it")}});
    call("snapshot");
    call("console");
    call("network");
    call("evaluate", {{"script", "return [document.title, location.href, window.quoted, {[document.title]: 1}]"}});
    call("evaluate", {{"script", "throw new Error(document.title)"}});
    call("wait_for", {{"text", "never there"}, {"timeout_seconds", 0}});
    call("fill", {{"ref", refNamed("Token")}, {"text", "${NOWHERE}"}});

    EXPECT_EQ(answers.find("hunter2"), std::string::npos) << answers;
    EXPECT_EQ(answers.find("HUNTER2"), std::string::npos);
    EXPECT_EQ(answers.find("ss\\\\\\\\word"), std::string::npos);
    EXPECT_NE(answers.find("${TOKEN}"), std::string::npos);
    EXPECT_NE(answers.find("${QUOTED}"), std::string::npos);
}
