// Hover on real pages: the web view's pointer moves over the element, so the
// page's :hover rules and its trusted pointer events follow, on the page's
// off-screen stage, in popups and at any page zoom.

#include "SessionPages.h"
#include "Support/LoopbackServer.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

const std::string menuPage = sessionPage("shop");

// Every GLib critical ends the process, as under G_DEBUG=fatal-criticals:
// hover must not rely on one being swallowed.
struct FatalCriticals {
    GLogLevelFlags before = g_log_set_always_fatal(GLogLevelFlags(G_LOG_FATAL_MASK | G_LOG_LEVEL_CRITICAL));
    ~FatalCriticals() { g_log_set_always_fatal(before); }
};

} // namespace

TEST(Hover, RevealsAMenuByItsHoverRuleAndFollowsThePointerOn) {
    FatalCriticals fatal;
    LoopbackServer server;
    server.serve("/", menuPage);
    auto session = actionSession();
    PageSnapshot page = runTask(session->navigate(server.url("/")));
    ASSERT_FALSE(contains(namesIn(page.elements), "Laptops"));
    // The page lies on its stage, outside every screen.
    ASSERT_TRUE(session->stages->contains(session->page->get()));

    std::vector<std::string> labels;
    ActionResult shown = runNotingLabels(*session, session->hover(refOf(page, "button", "Products")), labels);
    EXPECT_EQ(labels, (std::vector<std::string>{"the page to answer the hover", "the page to settle after the hover",
                                                "a snapshot of the page after the hover"}));
    EXPECT_EQ(session->waitingFor, std::nullopt);
    EXPECT_TRUE(contains(namesIn(shown.changes.added), "Laptops"));
    EXPECT_FALSE(shown.navigated);
    EXPECT_GT(session->phases->load, Duration::zero());

    // Moving on to another element closes the menu and fires the page's own
    // trusted pointer events.
    std::string laptops = refOf(*session->currentSnapshot(), "link", "Laptops");
    ActionResult moved = runTask(session->hover(refOf(page, "button", "Help")));
    EXPECT_EQ(moved.changes.removed, (std::vector<std::string>{laptops}));
    EXPECT_TRUE(moved.changes.textChanged);
    EXPECT_NE(session->currentSnapshot()->text.find("Ask us anything"), std::string::npos);
}

TEST(Hover, WorksInQuirksModeAtAnyZoomAndInPopups) {
    FatalCriticals fatal;
    LoopbackServer server;
    // No doctype: a bare :hover would match links alone.
    server.serve("/", sessionPage("old"));
    server.serve("/popup", sessionPage("popup-tip"));
    auto session = actionSession();
    PageSnapshot page = runTask(session->navigate(server.url("/")));

    // At twice the size, the page's point lies twice as far into the view.
    webkit_web_view_set_zoom_level(session->page->get(), 2.0);
    ActionResult zoomed = runTask(session->hover(refOf(page, "button", "Far")));
    EXPECT_TRUE(zoomed.changes.textChanged);
    EXPECT_NE(session->currentSnapshot()->text.find("Far tip"), std::string::npos);
    webkit_web_view_set_zoom_level(session->page->get(), 1.0);

    ActionResult opened = runTask(session->click(refOf(page, "button", "Open")));
    ASSERT_EQ(opened.window, "w1");
    WebKitWebView* popup = session->activeView();
    ASSERT_TRUE(session->stages->contains(popup));
    ActionResult inPopup = runTask(session->hover(refOf(*session->currentSnapshot(), "button", "Menu")));
    EXPECT_EQ(inPopup.window, "w1");
    EXPECT_NE(session->currentSnapshot()->text.find("Popup tip"), std::string::npos);
    EXPECT_EQ(pageValue(popup, "document.querySelector('button').matches(':hover')"), true);
}

TEST(Hover, FailsWithoutAWindowAndPassesElementFailuresThrough) {
    FatalCriticals fatal;
    LoopbackServer server;
    server.serve("/", menuPage);
    auto session = actionSession();

    PageSnapshot page = runTask(session->navigate(server.url("/")));
    session->recordStart("hover");
    const auto recorded = (*session->recording)->steps;

    auto missing = browserErrorOf(session->hover("e99999"));
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->failure(), BrowserError::ElementFailure::notFound);

    // A web view that no window holds has no pointer to move.
    session->unstage(session->page->get());
    auto noWindow = browserErrorOf(session->hover(refOf(page, "button", "Help")));
    ASSERT_TRUE(noWindow);
    EXPECT_EQ(noWindow->kind(), BrowserError::Kind::noPage);
    EXPECT_EQ(session->waitingFor, std::nullopt);
    EXPECT_EQ(pageValue(session->page->get(), "tip.hidden"), true);
    EXPECT_EQ((*session->recording)->steps, recorded);
}

TEST(Hover, ReachesAnElementOfAFrameOfTheSameOrigin) {
    FatalCriticals fatal;
    LoopbackServer server;
    server.serve("/", sessionPage("outer"));
    server.serve("/inner", sessionPage("trusted-hover-frame"));
    auto session = actionSession();
    PageSnapshot page = snapshotShowing(*session, runTask(session->navigate(server.url("/"))), "button", "Inner");
    std::string ref = refOf(page, "button", "Inner");
    ASSERT_TRUE(session->frameForRef(ref));

    ActionResult result = runTask(session->hover(ref));
    EXPECT_EQ(result.title, "Pointer inside");
}

TEST(Hover, ReachesAnElementInNestedFramesOfOtherOriginsPastTheirBordersAndPadding) {
    FatalCriticals fatal;
    LoopbackServer server;
    serveFixtures(server, {"nested-hover.html", "nested-hover-middle.html", "nested-hover-inner.html"});
    auto session = actionSession();
    PageSnapshot page = snapshotShowing(*session, runTask(session->navigate(server.url("/nested-hover"))), "button", "Deep");
    std::string deep = refOf(page, "button", "Deep");
    EXPECT_TRUE(contains(namesIn(runTask(session->hover(deep)).changes.added), "Deep tip"));
}
