// Pages that want another site's stored values or try to forge what the
// session records: values are typed only into documents of their own site,
// and no page script can post on the session's channels.

#include "BrowserCore/Secrets/SiteKey.h"
#include "SessionPages.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

// The value of the field with that ref as the page agent of its own frame
// reports it.
std::optional<std::string> fieldValue(BrowserSession& session, const std::string& ref) {
    for (const auto& element : runTask(session.scan()).elements) {
        if (element.ref == ref) return element.value.value_or("");
    }
    return std::nullopt;
}

} // namespace

TEST(HostilePage, FramesOfOtherSitesAndWithoutASiteGetNoValues) {
    LoopbackServer server;
    serveFixtures(server, {"hostile-frames.html", "login.html", "sandboxed.html"});
    LoopbackServer::Response held;
    held.hold = true;
    server.serve("/held", held);
    auto session = actionSession();
    std::string site = *siteKeyOfURL(server.url("/"));
    session->setVariables({{site, {{"BANK.user", "ann"}, {"BANK.password", "hunter2-pw"}, {"PIN", "4711"}}}});

    PageSnapshot page = runTask(session->navigate(server.url("/hostile-frames")));
    std::string other = *siteKeyOfURL(server.url("/", "localhost"));
    // A frame of another origin asking for this site's password by name.
    std::string password = refOf(page, "textbox", "Password");
    EXPECT_EQ(browserErrorOf(session->fill(password, "${BANK.password}")),
              BrowserError::credentialOfAnotherSite("BANK.password", {site}, other));
    // Documents without an origin of their own never take the top site's.
    for (const char* name : {"Code", "Boxed"}) {
        EXPECT_EQ(browserErrorOf(session->fill(refOf(page, "textbox", name), "${PIN}")),
                  BrowserError::variableOfAnotherSite("PIN", {site}, ""))
            << name;
    }
    // The page's own field takes them.
    std::string own = refOf(page, "textbox", "Own");
    runTask(session->fill(own, "${PIN}"));
    EXPECT_EQ(fieldValue(*session, own), "4711");
    for (const char* name : {"Password", "Code", "Boxed"}) EXPECT_EQ(fieldValue(*session, refOf(page, "textbox", name)), "");

    // A document whose origin is no longer the one the values were chosen
    // for takes nothing.
    nlohmann::json args{{"ref", own}, {"value", "4711"}, {"origin", server.url("/", "localhost")}};
    EXPECT_EQ(browserErrorOf(session->agentCall("fill", args)), BrowserError::siteChanged());

    // A page of another site while this site's page is still loading: the
    // web view already names the loading page, the document is the old one.
    PageSnapshot login = runTask(session->navigate(server.url("/login", "localhost")));
    webkit_web_view_load_uri(session->page->get(), server.url("/held").c_str());
    ASSERT_TRUE(spinUntil([&] { return webkit_web_view_get_uri(session->page->get()) == server.url("/held"); }));
    std::string field = refOf(login, "textbox", "Password");
    EXPECT_EQ(browserErrorOf(session->fill(field, "${BANK.password}")),
              BrowserError::credentialOfAnotherSite("BANK.password", {site}, other));
    EXPECT_EQ(pageValue(session->page->get(), "document.querySelector('input').value"), "");
}

TEST(HostilePage, NoPageScriptChangesWhatIsRecorded) {
    LoopbackServer server;
    serveFixtures(server, {"forging.html", "forging-frame.html"});
    auto session = actionSession();
    session->recordStart("forged");
    const std::int64_t errors = session->console.errorCount();

    PageSnapshot page = runTask(session->navigate(server.url("/forging")));
    ASSERT_TRUE(spinUntil([&] { return pageValue(session->page->get(), "document.title") == "Done"; }));
    // The frame's own error and failed request, and every forged message,
    // are in no record of the page.
    EXPECT_TRUE(session->consoleMessages().messages.empty());
    EXPECT_EQ(session->console.errorCount(), errors);
    EXPECT_TRUE(session->networkRequests(false).requests.empty());
    EXPECT_EQ(announcedFrames(*session, session->page->get()).size(), 1u);
    ActionResult clicked = runTask(session->click(refOf(page, "button", "Nothing")));
    EXPECT_EQ(clicked.consoleErrors, 0);
    EXPECT_TRUE(clicked.failedRequests.empty());
    auto flow = runTask(session->recordStop());
    ASSERT_TRUE(flow);
    ASSERT_EQ(flow->steps.size(), 2u);  // the navigation and the click, nothing forged
}

TEST(HostilePage, APopupsMessagesAreItsOwn) {
    LoopbackServer server;
    serveFixtures(server, {"popup-opener.html", "popup-logs.html"});
    auto session = actionSession();
    PageSnapshot page = runTask(session->navigate(server.url("/popup-opener")));
    ASSERT_EQ(runTask(session->click(refOf(page, "button", "Open"))).window, "w1");
    ASSERT_TRUE(spinUntil([&] { return session->networkEnded() > 0; }));
    auto messages = session->consoleMessages().messages;
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].window, "w1");
    EXPECT_EQ(session->console.errorsOf("main"), 0);
    auto requests = session->networkRequests(false).requests;
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].window, "w1");
}
