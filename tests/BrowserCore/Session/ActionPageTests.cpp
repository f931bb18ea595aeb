// Acting on real pages through the act pipeline: what a click, select, press
// or scroll reports, the waits and phases it goes through, navigations and
// popups it causes, and finding elements again by their locator.

#include "SessionPages.h"
#include "Support/LoopbackServer.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

using Kind = DialogRecord::Kind;

const std::string cartPage = sessionPage("cart");

} // namespace

TEST(ActPipeline, AClickThatChangesThePageReportsWhatChangedThroughItsPhases) {
    LoopbackServer server;
    server.serve("/", cartPage);
    LoopbackServer::Response broken;
    broken.status = 500;
    broken.body = "no";
    server.serve("/broken", broken);
    auto session = actionSession();
    PageSnapshot before = runTask(session->navigate(server.url("/")));
    // Dialogs of the page between two actions are not the next action's.
    session->dialogs.records.push_back({Kind::confirm, "stale"});

    std::vector<std::string> labels;
    ActionResult result = runNotingLabels(*session, session->click(refOf(before, "button", "Add")), labels);

    EXPECT_EQ(labels, (std::vector<std::string>{"the page to answer the click", "the page to settle after the click",
                                                "a snapshot of the page after the click"}));
    EXPECT_EQ(session->waitingFor, std::nullopt);
    EXPECT_EQ(result.url, server.url("/"));
    EXPECT_EQ(result.title, "Cart");
    EXPECT_FALSE(result.navigated);
    EXPECT_TRUE(result.settled);
    EXPECT_EQ(result.window, "main");
    EXPECT_FALSE(result.switchedWindow);

    std::vector<std::string> added = namesIn(result.changes.added);
    EXPECT_TRUE(contains(added, "Checkout"));
    EXPECT_TRUE(contains(added, "Red"));
    EXPECT_TRUE(contains(added, "Blue"));
    EXPECT_EQ(result.changes.removed, (std::vector<std::string>{refOf(before, "button", "Old offer")}));
    ASSERT_EQ(result.changes.changed.size(), 1u);
    EXPECT_EQ(result.changes.changed[0].name, "Quantity");
    EXPECT_EQ(result.changes.changed[0].value, "2");
    EXPECT_TRUE(result.changes.textChanged);
    // Options that a click reveals are no suggestions: only a fill has them.
    EXPECT_TRUE(result.suggestions.empty());

    EXPECT_EQ(result.dialogs, (std::vector<DialogRecord>{{Kind::alert, "Added"}}));
    EXPECT_TRUE(session->dialogs.records.empty());
    EXPECT_EQ(result.consoleErrors, 3);
    ASSERT_EQ(result.failedRequests.size(), 1u);
    EXPECT_EQ(result.failedRequests[0].url, server.url("/broken"));
    EXPECT_EQ(result.failedRequests[0].status, 500);
    EXPECT_EQ(result.failedRequests[0].window, std::nullopt);

    ASSERT_TRUE(session->phases);
    EXPECT_GT(session->phases->load, Duration::zero());
    EXPECT_GT(session->phases->settle, Duration::zero());
    EXPECT_EQ(session->phases->settled, true);
    EXPECT_GT(session->phases->snapshot, Duration::zero());
    EXPECT_EQ(session->phases->drawing, Duration::zero());
    // The scan after the action is the window's snapshot now.
    ASSERT_TRUE(session->currentSnapshot());
    EXPECT_TRUE(contains(namesIn(session->currentSnapshot()->elements), "Checkout"));

    // A click that changes nothing reports nothing.
    ActionResult again = runTask(session->click(refOf(*session->currentSnapshot(), "button", "Checkout")));
    EXPECT_TRUE(again.changes.isEmpty());
    EXPECT_FALSE(again.navigated);
    EXPECT_TRUE(again.dialogs.empty());
    EXPECT_EQ(again.consoleErrors, 0);
    EXPECT_TRUE(again.failedRequests.empty());
}

TEST(ActPipeline, AWindowWithoutASnapshotIsScannedBeforeTheAction) {
    LoopbackServer server;
    server.serve("/", cartPage);
    auto session = actionSession();
    ASSERT_TRUE(loadPage(*session, server.url("/")));
    ASSERT_FALSE(session->currentSnapshot());

    // The ref is the one the first scan will hand out to the button.
    PageSnapshot probe = runTask(session->scan());
    session->snapshots.set({});
    ActionResult result = runTask(session->click(refOf(probe, "button", "Add")));

    // The diff runs from that first scan, not from an empty page.
    EXPECT_EQ(result.changes.removed, (std::vector<std::string>{refOf(probe, "button", "Old offer")}));
    EXPECT_FALSE(contains(namesIn(result.changes.added), "Add"));
    EXPECT_TRUE(contains(namesIn(result.changes.added), "Checkout"));
    EXPECT_TRUE(session->currentSnapshot());
}

TEST(ActPipeline, AClickThatLoadsAnotherPageReportsItOnceItHasDrawn) {
    LoopbackServer server;
    server.serve("/", sessionPage("start"));
    // The new page shows nothing until well after it has gone quiet.
    server.serve("/next", sessionPage("next"));
    auto session = actionSession();
    PageSnapshot before = runTask(session->navigate(server.url("/")));

    std::vector<std::string> labels;
    ActionResult result = runNotingLabels(*session, session->click(refOf(before, "link", "Next page")), labels);

    EXPECT_TRUE(result.navigated);
    EXPECT_FALSE(result.switchedWindow);
    EXPECT_EQ(result.url, server.url("/next"));
    EXPECT_EQ(result.title, "Next");
    EXPECT_TRUE(contains(namesIn(result.changes.added), "Continue"));
    EXPECT_EQ(result.changes.removed, (std::vector<std::string>{refOf(before, "link", "Next page")}));
    EXPECT_TRUE(contains(labels, "the page to draw something"));
    EXPECT_EQ(labels.back(), "the page to draw something");
    EXPECT_EQ(session->waitingFor, std::nullopt);
    ASSERT_TRUE(session->phases);
    EXPECT_GT(session->phases->drawing, Duration::zero());
    EXPECT_TRUE(contains(namesIn(session->currentSnapshot()->elements), "Continue"));
}

TEST(ActPipeline, AClickThatOpensAPopupSwitchesToItWithoutADiff) {
    LoopbackServer server;
    server.serve("/", sessionPage("opener"));
    server.serve("/popup", sessionPage("popup"));
    auto session = actionSession();
    PageSnapshot before = runTask(session->navigate(server.url("/")));

    ActionResult result = runTask(session->click(refOf(before, "button", "Open")));

    EXPECT_TRUE(result.switchedWindow);
    EXPECT_EQ(result.window, "w1");
    EXPECT_FALSE(result.navigated);
    EXPECT_TRUE(result.changes.isEmpty());
    EXPECT_EQ(result.url, server.url("/popup"));
    EXPECT_EQ(result.title, "Popup");
    EXPECT_EQ(result.dialogs, (std::vector<DialogRecord>{{Kind::popup, server.url("/popup")}}));
    EXPECT_EQ(session->activeWindowID(), "w1");
    EXPECT_EQ(session->phases->drawing, Duration::zero());

    // The next action acts in the popup.
    ActionResult inside = runTask(session->click(refOf(*session->currentSnapshot(), "button", "Inside")));
    EXPECT_EQ(inside.window, "w1");
    EXPECT_FALSE(inside.switchedWindow);
}

TEST(ActPipeline, SelectPressAndScrollActOnThePage) {
    LoopbackServer server;
    server.serve("/", sessionPage("form"));
    auto session = actionSession();
    PageSnapshot page = runTask(session->navigate(server.url("/")));
    WebKitWebView* view = session->page->get();

    std::vector<std::string> labels;
    ActionResult selected = runNotingLabels(*session, session->select(refOf(page, "combobox", "Color"), "Green"), labels);
    EXPECT_EQ(labels.front(), "the page to answer the select");
    EXPECT_EQ(pageValue(view, "document.getElementById('color').value"), "Green");
    ASSERT_EQ(selected.changes.changed.size(), 1u);
    EXPECT_EQ(selected.changes.changed[0].value, "Green");

    // Without a target the key goes where the focus is: the select, now.
    runTask(session->press("x"));
    EXPECT_EQ(pageValue(view, "log.textContent"), "x on color");

    ActionResult pressed = runTask(session->press("Enter", refOf(page, "textbox", "Search")));
    EXPECT_EQ(pageValue(view, "log.textContent"), "searched ");
    EXPECT_TRUE(pressed.changes.textChanged);

    labels.clear();
    runNotingLabels(*session, session->scrollBy(0, 400), labels);
    EXPECT_EQ(labels.front(), "the page to answer the scroll");
    EXPECT_EQ(pageValue(view, "scrollY"), 400);

    std::string far = refOf(page, "button", "Far away");
    ActionResult scrolled = runTask(session->scrollTo(far));
    EXPECT_EQ(pageValue(view, "(r => r.top >= 0 && r.bottom <= innerHeight)(far.getBoundingClientRect())"), true);
    EXPECT_TRUE(session->currentSnapshot()->onScreen.contains(far));
    EXPECT_FALSE(scrolled.navigated);
}

TEST(ActPipeline, ElementFailuresPassThroughWithTheCommandTimed) {
    LoopbackServer server;
    server.serve("/", sessionPage("blocked"));
    auto session = actionSession();
    PageSnapshot page = runTask(session->navigate(server.url("/")));
    session->dialogs.records.push_back({Kind::alert, "before"});

    auto locked = browserErrorOf(session->click(refOf(page, "button", "Locked")));
    ASSERT_TRUE(locked);
    EXPECT_EQ(locked->kind(), BrowserError::Kind::element);
    EXPECT_EQ(locked->failure(), BrowserError::ElementFailure::disabled);
    EXPECT_EQ(session->waitingFor, std::nullopt);
    ASSERT_TRUE(session->phases);
    EXPECT_GT(session->phases->load, Duration::zero());
    EXPECT_EQ(session->phases->settle, Duration::zero());
    EXPECT_EQ(session->phases->snapshot, Duration::zero());
    // Emptied when the action began, and not taken by the failure.
    EXPECT_TRUE(session->dialogs.records.empty());

    auto covered = browserErrorOf(session->click(refOf(page, "button", "Under")));
    ASSERT_TRUE(covered);
    EXPECT_EQ(covered->failure(), BrowserError::ElementFailure::obscured);
    EXPECT_NE(covered->description().find("Under"), std::string::npos);

    auto missing = browserErrorOf(session->select("e99999", "Red"));
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->failure(), BrowserError::ElementFailure::notFound);

    auto unknownKey = browserErrorOf(session->press("NoSuchKey"));
    ASSERT_TRUE(unknownKey);
    EXPECT_EQ(unknownKey->kind(), BrowserError::Kind::script);
    EXPECT_EQ(session->waitingFor, std::nullopt);
}

TEST(ActPipeline, ACommandGivenUpOnWhileSettlingStopsBeforeItsScan) {
    LoopbackServer server;
    server.serve("/", sessionPage("interval-start"));
    BrowserSession::Options options;
    options.settleTimeout = seconds(10);
    auto session = BrowserSession::create(options);
    PageSnapshot page = runTask(session->navigate(server.url("/")));

    auto task = session->click(refOf(page, "button", "Start"));
    ASSERT_TRUE(spinUntil([&] { return session->waitingFor == "the page to settle after the click"; }));
    task.cancel();
    const auto phases = session->phases;
    ASSERT_TRUE(spinUntil([&] { return task.isDone(); }, seconds(5)));
    EXPECT_THROW(task.result(), CancellationError);
    // Given up on, it changes nothing the next command would report.
    EXPECT_EQ(session->waitingFor, "the page to settle after the click");
    EXPECT_EQ(session->phases, phases);
    ASSERT_TRUE(session->phases);
    EXPECT_EQ(session->phases->snapshot, Duration::zero());
}

TEST(Locate, FindsByRoleNameAndIndexThenBySelector) {
    LoopbackServer server;
    server.serve("/", sessionPage("find"));
    auto session = actionSession();
    PageSnapshot page = runTask(session->navigate(server.url("/")));
    std::vector<std::string> saves;
    for (const auto& element : page.elements) {
        if (element.name == "Save") saves.push_back(element.ref);
    }
    ASSERT_EQ(saves.size(), 2u);

    Locator second{"button", "Save", 1, std::nullopt};
    EXPECT_EQ(runTask(session->locate(second, false)), (BrowserSession::Located{saves[1], false}));
    EXPECT_EQ(session->waitingFor, std::nullopt);

    long floor = *session->lastRef;
    Locator bySelector{"button", "Gone", 0, std::string("#tag")};
    BrowserSession::Located found = runTask(session->locate(bySelector, false));
    EXPECT_TRUE(found.usedSelector);
    EXPECT_EQ(found.ref, "e" + std::to_string(floor + 1));
    EXPECT_EQ(*session->lastRef, floor + 1);

    // By name alone, the selector is not offered…
    auto byName = browserErrorOf(session->locate(bySelector, true));
    ASSERT_TRUE(byName);
    EXPECT_EQ(byName->failure(), BrowserError::ElementFailure::notFound);
    // …unless there is no name to go by.
    Locator unnamed{"heading", "", 0, std::string("#tag")};
    EXPECT_EQ(runTask(session->locate(unnamed, true)), (BrowserSession::Located{found.ref, true}));

    // A reply below the session's count leaves the count where it is.
    session->lastRef.set(5000);
    EXPECT_EQ(runTask(session->locate(second, false)).ref, saves[1]);
    EXPECT_EQ(*session->lastRef, 5000);
}

TEST(ActPipeline, AFillWaitsForTheRequestsItSetOffAndSuggestsTheNewOptions) {
    LoopbackServer server;
    server.serve("/", sessionPage("trip"));
    server.serve("/held", {.hold = true});
    LoopbackServer::Response suggestions;
    suggestions.body = "<ul role=listbox aria-label=Cities><li role=option>Bern</li><li role=option>Berlin</li></ul>"
                       "<button>Clear</button>";
    suggestions.delay = milliseconds(600);
    server.serve("/suggest", suggestions);
    BrowserSession::Options options;
    // A request begun before the fill would hold it this long, and the test
    // would run out of time.
    options.suggestionsTimeout = seconds(60);
    auto session = BrowserSession::create(options);
    PageSnapshot page = runTask(session->navigate(server.url("/")));

    std::vector<std::string> labels;
    ActionResult result = runNotingLabels(
        *session, session->runAction("fill", {{"ref", refOf(page, "textbox", "City")}, {"value", "Ber"}}, true), labels);
    EXPECT_EQ(labels, (std::vector<std::string>{"the page to answer the fill", "the requests the fill set off",
                                                "the page to settle after the fill",
                                                "a snapshot of the page after the fill"}));
    EXPECT_EQ(server.hits("/suggest"), 1u);
    EXPECT_EQ(namesIn(result.suggestions), (std::vector<std::string>{"Bern", "Berlin"}));
    EXPECT_TRUE(contains(namesIn(result.changes.added), "Clear"));
    // The request wait counts into the command's time.
    ASSERT_TRUE(session->phases);
    EXPECT_GE(session->phases->load, milliseconds(600));
}
