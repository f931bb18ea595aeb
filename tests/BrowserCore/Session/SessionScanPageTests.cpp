// The frame scan on real pages: frames of other origins merged into one
// snapshot, frames that stay silent, fail, or disappear.

#include "BrowserCore/Session/FrameAnswer.h"
#include "SessionPages.h"
#include "Support/LoopbackServer.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

std::shared_ptr<BrowserSession> sessionWithFrameTimeout(Duration timeout) {
    auto session = BrowserSession::create({});
    session->options.modify([&](auto& options) { options.frameTimeout = timeout; });
    return session;
}

std::string port(const LoopbackServer& server) {
    return std::to_string(server.port());
}

} // namespace

TEST(SessionScan, MergesFramesOfOtherOriginsWithUniqueRefsAndOwners) {
    LoopbackServer server;
    server.serve("/child", sessionPage("child"));
    server.serve("/child2", "<a href='#x'>Link</a>");
    server.serve("/", "<button>Main</button><iframe src='" + server.url("/child", "localhost") +
                          "'></iframe><iframe src='" + server.url("/child2") + "'></iframe>");
    auto session = BrowserSession::create({});
    WebKitWebView* page = session->page->get();
    ASSERT_TRUE(loadPage(*session, server.url("/")));
    ASSERT_TRUE(spinUntil([&] { return announcedFrames(*session, page).size() == 2; }));

    // The main frame's elements first, then each frame's in the order the
    // frames announced themselves.
    PageSnapshot first = runTask(session->scan());
    auto names = namesOf(first);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], "Main");
    auto one = std::find(names.begin(), names.end(), "One") - names.begin();
    EXPECT_EQ(names[one + 1], "Two");
    EXPECT_TRUE(std::find(names.begin(), names.end(), "Link") != names.end());
    EXPECT_TRUE(allDistinct(refsOf(first)));
    EXPECT_TRUE(first.unansweredFrames.empty());
    EXPECT_EQ(first.httpStatus, std::nullopt);
    EXPECT_EQ(session->currentSnapshot(), first);
    for (const auto& element : first.elements) {
        long number = std::stol(element.ref.substr(1));
        EXPECT_LE(number, *session->lastRef) << element.ref;
    }

    // Commands about a subframe's refs go to that frame; the main frame's
    // refs are in no table.
    const auto& owners = session->refFrames->at("main");
    EXPECT_EQ(owners.size(), 3u);
    EXPECT_FALSE(owners.contains(first.elements[0].ref));
    for (const auto& element : first.elements) {
        if (element.name == "Main") continue;
        EXPECT_EQ(owners.at(element.ref).host, element.name == "Link" ? "127.0.0.1" : "localhost") << element.name;
        EXPECT_EQ(session->frameForRef(element.ref), owners.at(element.ref));
    }

    // A frame that announced itself again (as it does for a document coming
    // back from the cache) is still scanned once.
    auto& list = session->frames.known[page];
    list.push_back(list.front());
    list.push_back(list.back());
    PageSnapshot second = runTask(session->scan());
    EXPECT_EQ(refsOf(second), refsOf(first)) << "the same elements keep their refs, each listed once";
}

TEST(SessionScan, APageWithoutFramesCarriesItsErrorStatus) {
    LoopbackServer server;
    LoopbackServer::Response missing;
    missing.status = 404;
    missing.body = "<p>Nothing here</p><button>Home</button>";
    server.serve("/missing", missing);
    auto session = BrowserSession::create({});
    ASSERT_TRUE(loadPage(*session, server.url("/missing")));

    PageSnapshot snapshot = runTask(session->scan());
    EXPECT_EQ(snapshot.httpStatus, 404);
    EXPECT_EQ(namesOf(snapshot), (std::vector<std::string>{"Home"}));
    EXPECT_TRUE(snapshot.unansweredFrames.empty());
    EXPECT_TRUE(session->refFrames->at("main").empty());
}

TEST(SessionScan, ASilentFrameCostsOneTimeoutIsNamedAndIsDroppedOnlyOnceGone) {
    LoopbackServer server;
    server.serve("/silent", "<button>Never listed</button>");
    server.serve("/", "<button>Main</button><iframe src='" + server.url("/silent?agent=silent", "localhost") + "'></iframe>");
    const Duration timeout = seconds(1);
    auto session = sessionWithFrameTimeout(timeout);
    WebKitWebView* page = session->page->get();
    useStandInAgents(page);
    ASSERT_TRUE(loadPage(*session, server.url("/")));
    ASSERT_TRUE(spinUntil([&] { return announcedFrames(*session, page).size() == 1; }));
    std::string silent = *announcedFrames(*session, page).begin();
    const std::vector<std::string> named{"localhost:" + port(server)};

    auto began = Clock::now();
    PageSnapshot first = runTask(session->scan());
    auto took = Clock::now() - began;
    EXPECT_EQ(namesOf(first), (std::vector<std::string>{"Main"}));
    EXPECT_EQ(first.unansweredFrames, named);
    EXPECT_GE(took, timeout) << "the frame was given its time";
    EXPECT_LT(took, timeout * 2.5) << "and no more";
    ASSERT_TRUE(session->lateScans.contains(silent));

    // While its request is open the frame is not asked again.
    began = Clock::now();
    PageSnapshot second = runTask(session->scan());
    EXPECT_LT(Clock::now() - began, timeout);
    EXPECT_EQ(second.unansweredFrames, named);

    // A request open for more than ten time-outs: the frame still exists, so
    // it is asked afresh and still named, not dropped.
    session->lateScans.at(silent)->asked -= timeout * 11;
    PageSnapshot third = runTask(session->scan());
    EXPECT_EQ(third.unansweredFrames, named);
    EXPECT_EQ(announcedFrames(*session, page).size(), 1u);

    // Once the frame is gone, the next frame it is asked it is dropped.
    pageValue(page, "document.querySelector('iframe').remove(); true");
    session->lateScans.at(silent)->asked -= timeout * 11;
    PageSnapshot fourth = runTask(session->scan());
    EXPECT_TRUE(fourth.unansweredFrames.empty());
    EXPECT_TRUE(announcedFrames(*session, page).empty());
    EXPECT_TRUE(session->lateScans.empty());
}

TEST(SessionScan, AFrameThatFailsIsNamedAndListedAgainAtTheNextScan) {
    LoopbackServer server;
    server.serve("/flaky", "<p>flaky</p>");
    server.serve("/", "<button>Main</button><iframe src='" + server.url("/flaky?agent=flaky", "localhost") + "'></iframe>");
    auto session = sessionWithFrameTimeout(seconds(2));
    WebKitWebView* page = session->page->get();
    useStandInAgents(page);
    ASSERT_TRUE(loadPage(*session, server.url("/")));
    ASSERT_TRUE(spinUntil([&] { return announcedFrames(*session, page).size() == 1; }));

    PageSnapshot first = runTask(session->scan());
    EXPECT_EQ(namesOf(first), (std::vector<std::string>{"Main"}));
    EXPECT_EQ(first.unansweredFrames, (std::vector<std::string>{"localhost:" + port(server)}));
    EXPECT_TRUE(session->lateScans.empty()) << "its request has ended";

    PageSnapshot second = runTask(session->scan());
    EXPECT_EQ(namesOf(second), (std::vector<std::string>{"Main", "Stand-in"}));
    EXPECT_TRUE(second.unansweredFrames.empty());
    EXPECT_TRUE(allDistinct(refsOf(second)));
    EXPECT_EQ(std::stol(second.elements[1].ref.substr(1)), *session->lastRef);
}

TEST(SessionScan, FramesWithoutAHostAreNamedReadablyAndUnknownFramesAreDropped) {
    LoopbackServer server;
    server.serve("/", sessionPage("silent-frame"));
    auto session = sessionWithFrameTimeout(milliseconds(300));
    WebKitWebView* page = session->page->get();
    useStandInAgents(page);
    ASSERT_TRUE(loadPage(*session, server.url("/")));
    ASSERT_TRUE(spinUntil([&] { return announcedFrames(*session, page).size() == 1; }));

    // A frame that announced itself but does not exist in the page.
    FrameInfo ghost;
    ghost.id = "987654321";
    ghost.view = page;
    ghost.host = "ghost.example";
    session->frames.known[page].push_back({ghost.id, ghost});

    PageSnapshot snapshot = runTask(session->scan());
    EXPECT_EQ(snapshot.unansweredFrames, (std::vector<std::string>{"a sandboxed or data: frame"}));
    EXPECT_FALSE(announcedFrames(*session, page).contains(ghost.id));
    EXPECT_EQ(announcedFrames(*session, page).size(), 1u);
}

TEST(SessionScan, TheMainFrameAnsweringNothingChangesNothing) {
    LoopbackServer server;
    server.serve("/", "<button>Main</button>");
    auto session = BrowserSession::create({});
    ASSERT_TRUE(loadPage(*session, server.url("/")));
    runTask(session->scan());
    long lastRef = *session->lastRef;
    auto snapshots = *session->snapshots;

    // The page itself cannot reach the agent; only a broken agent answers
    // nothing, so the agent is replaced in its own world for this check.
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(session->page->get());
    webkit_user_content_manager_remove_all_scripts(manager);
    WebKitUserScript* script = webkit_user_script_new_for_world(
        "globalThis.__agent = { call: () => JSON.stringify({ ok: true }) };", WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, BrowserSession::worldName, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, script);
    webkit_user_script_unref(script);
    server.serve("/again", "<button>Again</button>");
    ASSERT_TRUE(loadPage(*session, server.url("/again")));

    try {
        runTask(session->scan());
        FAIL() << "an empty reply to the main frame's scan must fail";
    } catch (const BrowserError& error) {
        EXPECT_EQ(error.kind(), BrowserError::Kind::script);
        EXPECT_EQ(error.detail(), "scan returned nothing");
    }
    EXPECT_EQ(*session->lastRef, lastRef);
    EXPECT_EQ(*session->snapshots, snapshots);
}

TEST(SessionScan, WalksPagesNestedTwentyFiveThousandDeep) {
    // WebKit draws nothing nested deeper than about 500 levels: the deep end
    // shows nothing, the button 400 levels down does.
    LoopbackServer server;
    server.serve("/", "<body><script>const nest = (e, n) => { for (let i = 0; i < n; i++) "
                      "e = e.appendChild(document.createElement('div')); return e; };"
                      "nest(document.body, 25000).textContent = 'too deep to draw';"
                      "nest(document.body, 400).innerHTML = '<button>Deep down</button> and its text';</script>");
    auto session = BrowserSession::create({});
    // Laying out so deep a page is slow on a busy machine.
    session->ensureWindowDelegate();
    webkit_web_view_load_uri(session->page->get(), server.url("/").c_str());
    ASSERT_TRUE(spinUntil([&] { return *session->url == server.url("/") && !*session->isLoading; }, seconds(90)));
    PageSnapshot page = runTask(session->scan(), seconds(90));
    EXPECT_EQ(namesOf(page), std::vector<std::string>{"Deep down"});
    EXPECT_EQ(page.text, "Deep down and its text");
}
