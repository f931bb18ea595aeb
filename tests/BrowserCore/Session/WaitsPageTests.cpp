// The waits on a real page: text and selectors present or gone, the URL, the
// requests the page made and the console errors it logged, with their
// timeout texts and the steps they record.

#include "BrowserCore/FlowModel/FlowStepPrinting.h"
#include "BrowserCore/Secrets/SiteKey.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "SessionPages.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;
using Action = FlowStep::Action;

namespace {

class WaitsPage : public testing::Test {
protected:
    void SetUp() override {
        if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
        session = BrowserSession::create({});
        shown = std::make_unique<Shown>(session->page->get(), 800, 600);
        for (auto [path, status] : {std::pair{"/api/items", 201u}, {"/api/fail", 500u}, {"/api/missing", 404u}}) {
            server.serve(path, LoopbackServer::Response{.status = status, .body = "{}", .contentType = "application/json"});
        }
    }

    // The steps recorded so far, after the navigation that opened the page.
    std::vector<FlowStep> recordedAfterOpening(std::vector<FlowStep> waits, const std::string& path = "/") {
        waits.insert(waits.begin(), stepOf(Action::navigate, server.url(path)));
        EXPECT_TRUE(session->recording->has_value());
        return waits;
    }
    std::vector<FlowStep> recorded() const { return session->recording->has_value() ? (*session->recording)->steps : std::vector<FlowStep>{}; }

    void open(const std::string& path, const std::string& html) {
        server.serve(path, html);
        ASSERT_TRUE(loadPage(*session, server.url(path)));
    }

    // Runs a script in the page and waits until the requests it made have
    // ended, `count` of them in all since the session began.
    void fetchInPage(const std::string& script, std::int64_t count) {
        pageValue(view(), script + "; true");
        ASSERT_TRUE(spinUntil([&] { return session->network.ended() >= count; }));
    }

    WebKitWebView* view() { return session->page->get(); }

    LoopbackServer server;
    std::shared_ptr<BrowserSession> session;
    std::unique_ptr<Shown> shown;
};

} // namespace

TEST_F(WaitsPage, TextThatAppearsLaterIsWaitedForAndTextThatGoesIsWaitedOut) {
    open("/", "<p id=note>Loading…</p>");
    session->recordStart("texts");
    pageValue(view(), R"(setTimeout(() => {
        document.querySelector('#note').remove();
        document.body.append(Object.assign(document.createElement('h1'), {textContent: 'Welcome back'}));
    }, 300); true)");
    runTask(session->waitForText("Welcome back", false, seconds(10)));
    EXPECT_EQ(pageValue(view(), "document.querySelector('h1') !== null"), true);
    runTask(session->waitForText("Loading", true, seconds(10), "${GONE}"));
    EXPECT_EQ(recorded(), recordedAfterOpening({stepOf(Action::waitForText, "Welcome back"),
                                     stepOf(Action::waitForText, "${GONE}", true)}));
}

TEST_F(WaitsPage, AWaitThatRunsOutSaysWhatItWaitedForAndWhereThePageIs) {
    open("/", "<p>Welcome</p><div id=tip hidden>Tip</div>");
    session->recordStart("failures");
    // A zero timeout still checks once: present text is found at once.
    runTask(session->waitForText("Welcome", false, Duration::zero()));
    runTask(session->waitForSelector("#tip", true, Duration::zero()));

    const std::string place = "; the page is at " + server.url("/");
    EXPECT_EQ(errorOf(session->waitForText("Goodbye", false, Duration::zero())),
              "Timed out waiting for text \"Goodbye\"" + place);
    EXPECT_EQ(errorOf(session->waitForText("Welcome", true, milliseconds(120))),
              "Timed out waiting for text \"Welcome\" to be gone; it is still there" + place);
    EXPECT_EQ(errorOf(session->waitForSelector("#tip", false, Duration::zero())),
              "Timed out waiting for selector #tip; the selector matches an element that is not visible" + place);
    EXPECT_EQ(errorOf(session->waitForSelector("#nothing", false, Duration::zero())),
              "Timed out waiting for selector #nothing" + place);
    EXPECT_EQ(errorOf(session->waitForSelector("p", true, Duration::zero())),
              "Timed out waiting for selector p to be gone; it is still there" + place);

    // A check that fails is reported, and never ends the wait early.
    std::string failed = errorOf(session->waitForSelector("p[", false, milliseconds(150)));
    EXPECT_TRUE(failed.starts_with("Timed out waiting for selector p[; the check failed with: ")) << failed;
    EXPECT_TRUE(failed.ends_with(place)) << failed;

    // Failed waits record nothing.
    EXPECT_EQ(recorded(), recordedAfterOpening({stepOf(Action::waitForText, "Welcome"),
                                     stepOf(Action::waitForSelector, "#tip", true)}));
}

TEST_F(WaitsPage, ASelectorWaitsForAVisibleMatchAndCountsHiddenOnesAsGone) {
    open("/", "<div id=spinner>…</div><button id=save hidden>Save</button>");
    session->recordStart("selectors");
    pageValue(view(), R"(setTimeout(() => {
        document.querySelector('#save').hidden = false;
        document.querySelector('#spinner').style.display = 'none';
    }, 300); true)");
    runTask(session->waitForSelector("#save", false, seconds(10)));
    runTask(session->waitForSelector("#spinner", true, seconds(10)));
    EXPECT_EQ(recorded(), recordedAfterOpening({stepOf(Action::waitForSelector, "#save"),
                                     stepOf(Action::waitForSelector, "#spinner", true)}));
}

TEST_F(WaitsPage, AProbeWithoutAPageFailsEveryCheckUntilTheDeadline) {
    EXPECT_EQ(errorOf(session->waitForText("x", false, Duration::zero())),
              "Timed out waiting for text \"x\"; the check failed with: No page is loaded. Navigate to a URL first.");
}

TEST_F(WaitsPage, TheURLWaitFollowsThePageAndKeepsTheReferenceItWasGiven) {
    EXPECT_EQ(errorOf(session->waitForURL("/done", Duration::zero())),
              "Timed out waiting for the URL to contain \"/done\"; the page has no URL");

    open("/start", "<title>orders</title>");
    auto site = siteKeyOfURL(server.url("/"));
    ASSERT_TRUE(site);
    session->setVariables({{*site, {{"ORDER", "A-1742"}}}, {"elsewhere.example", {{"OTHER", "orders"}}}});
    session->recordStart("url");
    pageValue(view(), "setTimeout(() => history.pushState({}, '', '/orders/A-1742/done'), 300); true");
    runTask(session->waitForURL("/orders/${ORDER}/done", seconds(10)));
    runTask(session->waitForURL("/done", Duration::zero(), "${WHERE}"));
    // A caller that gives the text as written has replaced its references:
    // a value that holds one is looked for as it is.
    EXPECT_EQ(errorOf(session->waitForURL("/orders/${ORDER}", Duration::zero(), "${WHERE}")),
              "Timed out waiting for the URL to contain \"/${OTHER}/${ORDER}\"; the page is at " +
                  server.url("/${OTHER}/${ORDER}/done"));

    // The value found in the page's address reaches the text only as its name.
    EXPECT_EQ(errorOf(session->waitForURL("${ORDER}/later", Duration::zero())),
              "Timed out waiting for the URL to contain \"${ORDER}/later\"; the page is at " +
                  server.url("/${OTHER}/${ORDER}/done"));
    // A reference the site does not know stays as written (though the
    // text hides that other site's value too).
    EXPECT_EQ(errorOf(session->waitForURL("${OTHER}", milliseconds(60))),
              "Timed out waiting for the URL to contain \"${OTHER}\"; the page is at " +
                  server.url("/${OTHER}/${ORDER}/done"));
    EXPECT_EQ(recorded(), recordedAfterOpening({stepOf(Action::waitForURL, "/orders/${ORDER}/done"),
                                     stepOf(Action::waitForURL, "${WHERE}")}, "/start"));
}

TEST_F(WaitsPage, ARequestAnsweredInItsClassEndsTheWaitAndAnotherStatusFailsAtOnce) {
    open("/", "<title>requests</title>");
    session->recordStart("requests");
    session->markCommand();
    fetchInPage("fetch('/api/items', {method: 'POST'})", 1);
    session->markCommand();  // the wait is the next command: the fetch ended during the previous one

    runTask(session->waitForRequest("POST /api/items", "2xx", seconds(10)));
    runTask(session->waitForRequest("post /api", "2XX", Duration::zero(), "POST ${API}"));
    session->setVariables({{*siteKeyOfURL(server.url("/")), {{"API", "/api/items"}}}});
    EXPECT_EQ(errorOf(session->waitForRequest("POST ${API}", "2xx", Duration::zero(), "POST ${API}")),
              "Timed out waiting for request POST ${API}");
    runTask(session->waitForRequest("POST ${API}", "2xx", Duration::zero()));
    EXPECT_EQ(errorOf(session->waitForRequest("GET /api/items", "2xx", Duration::zero())),
              "Timed out waiting for request GET /api/items");
    EXPECT_EQ(errorOf(session->waitForRequest("/api/items", "4xx", seconds(10))),
              "The request /api/items got 201, not 4xx");
    EXPECT_EQ(errorOf(session->waitForRequest("/api/items", "200", seconds(10))),
              "The status 200 is not one of 2xx, 3xx, 4xx and 5xx");

    session->markCommand();
    fetchInPage("fetch('/api/fail'); fetch('/api/missing')", 3);
    session->markCommand();
    EXPECT_EQ(errorOf(session->waitForRequest("/api/fail", "2xx", seconds(30))), "The request /api/fail got 500, not 2xx");
    runTask(session->waitForRequest("GET /api/missing", "4XX", seconds(10)));
    // Requests of the command before the previous one no longer count.
    EXPECT_EQ(errorOf(session->waitForRequest("/api/items", "2xx", Duration::zero())),
              "Timed out waiting for request /api/items");

    EXPECT_EQ(recorded(), recordedAfterOpening({stepOf(Action::waitForRequest, "POST /api/items"),
                                     stepOf(Action::waitForRequest, "POST ${API}"),
                                     stepOf(Action::waitForRequest, "POST ${API}"),
                                     stepOf(Action::waitForRequest, "GET /api/missing", std::nullopt, "4xx")}));
}

TEST_F(WaitsPage, ARequestThatEndsWhileWaitingIsSeen) {
    open("/", "<title>requests</title>");
    LoopbackServer::Response slow;
    slow.status = 204;
    slow.delay = milliseconds(300);
    server.serve("/api/slow", slow);
    session->markCommand();
    session->markCommand();
    pageValue(view(), "fetch('/api/slow'); true");
    runTask(session->waitForRequest("/api/slow", "2xx", seconds(10)));
}

TEST_F(WaitsPage, ConsoleErrorsCountFromTheRecordingsStartOrTheMarkGiven) {
    open("/", "<title>console</title>");
    auto logError = [&](std::int64_t total) {
        pageValue(view(), "console.error('broken'); true");
        ASSERT_TRUE(spinUntil([&] { return session->console.errorCount() >= total; }));
    };
    logError(1);
    // No recording ever started: every error since the session began counts.
    try {
        session->expectNoConsoleErrors();
        ADD_FAILURE() << "no error";
    } catch (const BrowserError& error) {
        EXPECT_EQ(error.description(), "The page logged 1 console error since the flow began; the console tool reads them");
    }

    session->recordStart("console");
    session->expectNoConsoleErrors();
    logError(2);
    logError(3);
    try {
        session->expectNoConsoleErrors();
        ADD_FAILURE() << "no error";
    } catch (const BrowserError& error) {
        EXPECT_EQ(error, BrowserError::consoleErrors(2));
    }
    session->expectNoConsoleErrors(3);
    auto flow = runTask(session->recordStop());
    ASSERT_TRUE(flow);
    EXPECT_EQ(flow->steps, (std::vector<FlowStep>{stepOf(Action::navigate, server.url("/")),
                                                  stepOf(Action::waitForNoConsoleErrors, std::nullopt),
                                                  stepOf(Action::waitForNoConsoleErrors, std::nullopt)}));
    // A stopped recording's start still marks where counting begins.
    EXPECT_THROW(session->expectNoConsoleErrors(), BrowserError);
    session->expectNoConsoleErrors(3);
}

TEST_F(WaitsPage, CancellingTheTaskEndsTheWaitAtItsNextSleep) {
    open("/", "<p>Welcome</p>");
    // The first probe is under way; the sleep after it notices.
    auto wait = session->waitForText("Never", false, seconds(60));
    wait.cancel();
    ASSERT_TRUE(spinUntil([&] { return wait.isDone(); }, seconds(5)));
    EXPECT_THROW(wait.result(), CancellationError);
}
