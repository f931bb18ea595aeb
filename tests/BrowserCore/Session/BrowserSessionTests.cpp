#include "BrowserCore/Session/BrowserSession.h"
#include "Platform/Async.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"
#include "SessionPages.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

FlowStep sessionStep(FlowStep::Action action, std::string value) {
    FlowStep s;
    s.action = action;
    s.value = std::move(value);
    return s;
}

} // namespace

TEST(BrowserSession, StartsWithItsDefaultsAndFollowsThePage) {
    LoopbackServer server;
    server.serve("/", "<title>Home</title><p>hello</p>");
    auto session = BrowserSession::create({});

    EXPECT_TRUE(session->profile->isEphemeral());
    EXPECT_TRUE(webkit_network_session_is_ephemeral(webkit_web_view_get_network_session(session->page->get())));
    int width = 0, height = 0;
    gtk_widget_get_size_request(GTK_WIDGET(session->page->get()), &width, &height);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    EXPECT_EQ(*session->url, std::nullopt);
    EXPECT_FALSE(*session->isLoading);
    EXPECT_EQ(*session->loadProgress, 0);
    EXPECT_EQ(session->activeWindowID(), "main");
    EXPECT_EQ(session->windows(), (std::vector<BrowserSession::Window>{{"main", "", true}}));
    EXPECT_EQ(session->currentSnapshot(), std::nullopt);
    EXPECT_EQ(session->options->navigationTimeout, seconds(30));
    EXPECT_EQ(session->options->frameTimeout, seconds(2));

    // Nothing reaches a page that is not there.
    try {
        runTask(session->agentCall("scan", {{"floor", 0}}));
        FAIL() << "a command without a page must fail";
    } catch (const BrowserError& error) {
        EXPECT_EQ(error.kind(), BrowserError::Kind::noPage);
    }

    int urlChanges = 0;
    session->url.changed().connect([&] { ++urlChanges; });
    ASSERT_TRUE(loadPage(*session, server.url("/")));
    EXPECT_EQ(urlChanges, 1);
    EXPECT_EQ(*session->loadProgress, 1.0);
    EXPECT_EQ(session->windows(), (std::vector<BrowserSession::Window>{{"main", server.url("/"), true}}));

    server.serve("/next", "<p>next</p>");
    ASSERT_TRUE(loadPage(*session, server.url("/next")));
    EXPECT_TRUE(spinUntil([&] { return *session->canGoBack; }));
    EXPECT_FALSE(*session->canGoForward);

    auto agent = pageValue(session->page->get(), "navigator.userAgent").get<std::string>();
    EXPECT_TRUE(agent.ends_with("(KHTML, like Gecko) Version/26.0 Safari/605.1.15")) << agent;
    EXPECT_EQ(agent.find("Safari/605.1.15"), agent.rfind("Safari/605.1.15")) << "the application name appears once";
}

TEST(BrowserSession, RecordsStepsOnlyWhileRecordingAndInThePage) {
    auto session = BrowserSession::create({});
    session->recordStep(sessionStep(FlowStep::Action::click, "ignored"));
    EXPECT_EQ(*session->recording, std::nullopt);

    Flow flow;
    flow.name = "checkout";
    flow.steps.push_back(sessionStep(FlowStep::Action::navigate, "https://start.example/"));
    session->recording.set(flow);
    session->recordingIsOnlyItsStart.set(true);

    // The first navigation takes the place of the step the recording began with.
    session->recordStep(sessionStep(FlowStep::Action::navigate, "https://shop.example/"));
    ASSERT_EQ((*session->recording)->steps.size(), 1u);
    EXPECT_EQ((*session->recording)->steps[0].value, "https://shop.example/");
    EXPECT_FALSE(*session->recordingIsOnlyItsStart);

    session->recordStep(sessionStep(FlowStep::Action::navigate, "https://shop.example/cart"));
    EXPECT_EQ((*session->recording)->steps.size(), 2u);
}

TEST(BrowserSession, PhasesKeepFiveHoldersAndSumEveryCause) {
    BrowserSession::Phases phases;
    for (int i = 0; i < 6; ++i) {
        phases.hold("cause" + std::to_string(i), milliseconds(10), "label" + std::to_string(i));
    }
    phases.hold("cause0", milliseconds(5), "label0");
    phases.hold("cause1", milliseconds(5), std::nullopt);
    EXPECT_EQ(phases.holders, (std::vector<std::string>{"label0", "label1", "label2", "label3", "label4"}));
    EXPECT_EQ(phases.heldBy.size(), 6u);
    EXPECT_EQ(phases.heldBy["cause0"], milliseconds(15));
    EXPECT_EQ(phases.heldBy["cause5"], milliseconds(10));
}

TEST(BrowserSession, ProfilesKeepTheirCookiesApart) {
    LoopbackServer server;
    server.serve("/set", {.body = "<p>set</p>", .headers = {{"Set-Cookie", "who=alice; Max-Age=3600; Path=/"}}});
    server.serve("/read", "<p>read</p>");

    auto first = BrowserSession::Profile::persistent("11111111-1111-4111-8111-111111111111");
    auto second = BrowserSession::Profile::persistent("22222222-2222-4222-8222-222222222222");
    BrowserSession::Options options;
    options.profile = first;
    auto session = BrowserSession::create(options);
    EXPECT_FALSE(webkit_network_session_is_ephemeral(webkit_web_view_get_network_session(session->page->get())));

    ASSERT_TRUE(loadPage(*session, server.url("/set")));
    ASSERT_TRUE(loadPage(*session, server.url("/read")));
    EXPECT_EQ(pageValue(session->page->get(), "document.cookie"), "who=alice");

    // The same profile again changes nothing.
    WebKitWebView* before = session->page->get();
    session->useProfile(first);
    EXPECT_EQ(session->page->get(), before);
    EXPECT_EQ(*session->url, server.url("/read"));

    session->useProfile(second);
    EXPECT_NE(session->page->get(), before);
    EXPECT_EQ(*session->profile, second);
    EXPECT_EQ(*session->url, std::nullopt) << "the new page has loaded nothing yet";
    ASSERT_TRUE(loadPage(*session, server.url("/read")));
    EXPECT_EQ(pageValue(session->page->get(), "document.cookie"), "");

    session->useProfile(first);
    ASSERT_TRUE(loadPage(*session, server.url("/read")));
    EXPECT_EQ(pageValue(session->page->get(), "document.cookie"), "who=alice");
}

TEST(BrowserSession, MergesTheValuesOfASiteAndItsParentDomains) {
    std::map<std::string, std::map<std::string, std::string>> table{
        {"example.com", {{"USER", "parent"}, {"ONLY_PARENT", "p"}}},
        {"shop.example.com", {{"USER", "child"}}},
        {"badexample.com", {{"USER", "other"}}},
        {"example.com:8080", {{"USER", "port"}}},
    };
    auto merged = BrowserSession::mergedForHost("a.shop.example.com", table);
    EXPECT_EQ(merged, (std::map<std::string, std::string>{{"USER", "child"}, {"ONLY_PARENT", "p"}}));
    EXPECT_EQ(BrowserSession::mergedForHost("example.com", table).at("USER"), "parent");
    EXPECT_TRUE(BrowserSession::mergedForHost("xexample.com", table).empty());
    EXPECT_TRUE(BrowserSession::mergedForHost("com", table).empty());
    EXPECT_EQ(BrowserSession::mergedForHost("a.example.com:8080", table).at("USER"), "port");
}
