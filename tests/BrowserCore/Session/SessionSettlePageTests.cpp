// Settling, the quiet-network wait and the drawing wait on real pages.

#include "SessionPages.h"
#include "Support/LoopbackServer.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

std::shared_ptr<BrowserSession> sessionWith(void (*change)(BrowserSession::Options&)) {
    auto session = BrowserSession::create({});
    session->options.modify(change);
    return session;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

TEST(SessionSettle, HoldsAPageWhileItChangesAndNamesWhatChanged) {
    LoopbackServer server;
    server.serve("/", sessionPage("counter-to-twelve"));
    auto session = BrowserSession::create({});
    ASSERT_TRUE(loadPage(*session, server.url("/")));

    session->phases = BrowserSession::Phases{};
    EXPECT_TRUE(runTask(session->settle()));
    const auto& phases = *session->phases;
    EXPECT_EQ(phases.settled, true);
    EXPECT_GT(phases.heldBy.at("changes"), milliseconds(500));
    EXPECT_GE(phases.settle, phases.heldBy.at("changes"));
    ASSERT_FALSE(phases.holders.empty());
    EXPECT_TRUE(startsWith(phases.holders[0], "changes in ")) << phases.holders[0];

    // At rest now: the first poll settles, charging nothing more.
    auto held = phases.heldBy;
    EXPECT_TRUE(runTask(session->settle()));
    EXPECT_EQ(session->phases->heldBy, held);
}

TEST(SessionSettle, APageThatNeverStopsEndsAtTheDeadlineWithoutAnError) {
    LoopbackServer server;
    server.serve("/", sessionPage("counter"));
    auto session = sessionWith([](auto& options) { options.settleTimeout = seconds(1); });
    ASSERT_TRUE(loadPage(*session, server.url("/")));

    // Without a phases record nothing is charged, and the answer is the same.
    EXPECT_FALSE(runTask(session->settle()));
    EXPECT_FALSE(session->phases.has_value());

    // It ended at the deadline, never finding the page quiet, and what held
    // it was the page's changes (or, on a busy machine, a page agent too
    // slow to answer a poll), named as such.
    session->phases = BrowserSession::Phases{};
    EXPECT_FALSE(runTask(session->settle()));
    const auto& phases = *session->phases;
    EXPECT_EQ(phases.settled, false);
    EXPECT_GE(phases.settle, seconds(1));
    EXPECT_GT(phases.heldBy.at("changes"), Duration::zero());
    for (const auto& [cause, held] : phases.heldBy) EXPECT_TRUE(cause == "changes" || cause == "loading") << cause;
    ASSERT_FALSE(phases.holders.empty());
    EXPECT_TRUE(startsWith(phases.holders[0], "changes in ")) << phases.holders[0];

    // A cancelled settle ends at its next check, unsettled.
    auto settling = session->settle();
    settling.cancel();
    EXPECT_FALSE(runTask(std::move(settling)));
}

TEST(SessionSettle, TheQuietNetworkWaitFollowsTheRequestsOfTheFrameAsked) {
    LoopbackServer server;
    LoopbackServer::Response held;
    held.hold = true;
    server.serve("/held", held);
    server.serve("/busy", sessionPage("held-fetch"));
    server.serve("/", "<p>idle</p><iframe src='" + server.url("/busy", "localhost") + "'></iframe>");
    auto session = sessionWith([](auto& options) { options.suggestionsTimeout = seconds(1.5); });
    WebKitWebView* page = session->page->get();
    ASSERT_TRUE(loadPage(*session, server.url("/")));
    ASSERT_TRUE(spinUntil([&] { return announcedFrameWithHost(*session, page, "localhost") && server.hits("/held") == 1; }));
    FrameInfo busy = *announcedFrameWithHost(*session, page, "localhost");

    // The main frame has no request: the wait lasts its least time only.
    auto began = Clock::now();
    runTask(session->waitForQuietNetwork(std::nullopt));
    auto took = Clock::now() - began;
    EXPECT_GE(took, session->options->suggestionsDelay);
    EXPECT_LT(took, session->options->suggestionsTimeout);

    // The frame's request never ends: the wait lasts until its deadline.
    began = Clock::now();
    runTask(session->waitForQuietNetwork(busy));
    EXPECT_GE(Clock::now() - began, session->options->suggestionsTimeout);

    // A frame that is gone has nothing to wait for.
    FrameInfo gone = busy;
    gone.id = "987654321";
    began = Clock::now();
    runTask(session->waitForQuietNetwork(gone));
    EXPECT_LT(Clock::now() - began, session->options->suggestionsDelay);
}

TEST(SessionSettle, TheDrawingWaitRescansUntilThePageShowsSomething) {
    LoopbackServer server;
    server.serve("/late", sessionPage("late"));
    server.serve("/blank", "<body>  </body>");
    auto session = sessionWith([](auto& options) { options.settleTimeout = seconds(2); });
    ASSERT_TRUE(loadPage(*session, server.url("/late")));

    PageSnapshot blank = runTask(session->scan());
    ASSERT_TRUE(blank.elements.empty());
    PageSnapshot drawn = runTask(session->waitForDrawing(blank));
    EXPECT_EQ(namesOf(drawn), (std::vector<std::string>{"Drawn"}));
    EXPECT_EQ(session->waitingFor, "the page to draw something");
    EXPECT_EQ(session->currentSnapshot(), drawn);

    // A page with something to show is returned as it is, at once.
    session->waitingFor.reset();
    EXPECT_EQ(runTask(session->waitForDrawing(drawn)), drawn);
    EXPECT_FALSE(session->waitingFor.has_value());

    // A page that stays blank is returned blank at the deadline.
    ASSERT_TRUE(loadPage(*session, server.url("/blank")));
    auto began = Clock::now();
    PageSnapshot still = runTask(session->waitForDrawing(runTask(session->scan())));
    EXPECT_GE(Clock::now() - began, seconds(2));
    EXPECT_TRUE(still.elements.empty());
}
