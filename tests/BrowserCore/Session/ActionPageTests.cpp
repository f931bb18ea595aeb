// Acting on real pages through the act pipeline: what a click, select, press
// or scroll reports, the waits and phases it goes through, navigations and
// popups it causes, and finding elements again by their locator.

#include "SessionPages.h"

using namespace vesk;
using namespace vesk::test;

namespace {

using Kind = DialogRecord::Kind;
using Failure = BrowserError::ElementFailure;
using Labels = std::vector<std::string>;

// A session on the page at `path` (served from pages/<page>.html), with its snapshot.
struct Acting {
    LoopbackServer server;
    std::shared_ptr<BrowserSession> session;
    PageSnapshot page;

    explicit Acting(const std::string& name, BrowserSession::Options options = {.settleTimeout = seconds(2)}) {
        server.serve("/", sessionPage(name));
        session = BrowserSession::create(options);
    }
    void open() { page = runTask(session->navigate(server.url("/"))); }
    std::string ref(const std::string& role, const std::string& name) const { return refOf(page, role, name); }
    Labels labelsOf(auto task, auto& result) {
        Labels labels;
        result = runNotingLabels(*session, std::move(task), labels);
        return labels;
    }
};

Labels phasesOf(const std::string& action) {
    return {"the page to answer the " + action, "the page to settle after the " + action,
            "a snapshot of the page after the " + action};
}

} // namespace

TEST(ActPipeline, AClickThatChangesThePageReportsWhatChangedThroughItsPhases) {
    Acting acting("cart");
    acting.server.serve("/broken", {.status = 500, .body = "no"});
    acting.open();
    auto& session = acting.session;
    // Dialogs of the page between two actions are not the next action's.
    session->dialogs.records.push_back({Kind::confirm, "stale"});

    ActionResult result;
    EXPECT_EQ(acting.labelsOf(session->click(acting.ref("button", "Add")), result), phasesOf("click"));
    EXPECT_EQ(session->waitingFor, std::nullopt);
    EXPECT_EQ(result.url, acting.server.url("/"));
    EXPECT_EQ(result.title, "Cart");
    EXPECT_TRUE(result.settled && !result.navigated && !result.switchedWindow);
    EXPECT_EQ(result.window, "main");

    Labels added = namesIn(result.changes.added);
    EXPECT_TRUE(contains(added, "Checkout") && contains(added, "Red") && contains(added, "Blue")) << added.size();
    EXPECT_EQ(result.changes.removed, Labels{acting.ref("button", "Old offer")});
    ASSERT_EQ(result.changes.changed.size(), 1u);
    EXPECT_EQ(result.changes.changed[0].value, "2");
    EXPECT_TRUE(result.changes.textChanged);
    EXPECT_TRUE(result.suggestions.empty()) << "options that a click reveals are no suggestions: only a fill has them";

    EXPECT_EQ(result.dialogs, (std::vector<DialogRecord>{{Kind::alert, "Added"}}));
    EXPECT_TRUE(session->dialogs.records.empty());
    EXPECT_EQ(result.consoleErrors, 3);
    ASSERT_EQ(result.failedRequests.size(), 1u);
    EXPECT_EQ(result.failedRequests[0].url, acting.server.url("/broken"));
    EXPECT_EQ(result.failedRequests[0].window, std::nullopt);

    ASSERT_TRUE(session->phases);
    const auto& phases = *session->phases;
    EXPECT_TRUE(phases.load > Duration::zero() && phases.settle > Duration::zero() && phases.snapshot > Duration::zero());
    EXPECT_EQ(phases.settled, true);
    EXPECT_EQ(phases.drawing, Duration::zero());
    // The scan after the action is the window's snapshot now.
    ASSERT_TRUE(session->currentSnapshot());
    EXPECT_TRUE(contains(namesOf(*session->currentSnapshot()), "Checkout"));

    // A click that changes nothing reports nothing.
    ActionResult again = runTask(session->click(refOf(*session->currentSnapshot(), "button", "Checkout")));
    EXPECT_TRUE(again.changes.isEmpty() && again.dialogs.empty() && again.failedRequests.empty());
    EXPECT_EQ(again.consoleErrors, 0);
}

TEST(ActPipeline, AWindowWithoutASnapshotIsScannedBeforeTheAction) {
    Acting acting("cart");
    ASSERT_TRUE(loadPage(*acting.session, acting.server.url("/")));
    ASSERT_FALSE(acting.session->currentSnapshot());
    // The ref is the one the first scan will hand out to the button.
    acting.page = runTask(acting.session->scan());
    acting.session->snapshots.set({});
    ActionResult result = runTask(acting.session->click(acting.ref("button", "Add")));
    // The diff runs from that first scan, not from an empty page.
    EXPECT_EQ(result.changes.removed, Labels{acting.ref("button", "Old offer")});
    EXPECT_FALSE(contains(namesIn(result.changes.added), "Add"));
}

TEST(ActPipeline, AClickThatLoadsAnotherPageReportsItOnceItHasDrawn) {
    Acting acting("start");
    // The new page shows nothing until well after it has gone quiet.
    acting.server.serve("/next", sessionPage("next"));
    acting.open();
    ActionResult result;
    Labels labels = acting.labelsOf(acting.session->click(acting.ref("link", "Next page")), result);
    EXPECT_TRUE(result.navigated);
    EXPECT_EQ(result.url, acting.server.url("/next"));
    EXPECT_TRUE(contains(namesIn(result.changes.added), "Continue"));
    EXPECT_EQ(result.changes.removed, Labels{acting.ref("link", "Next page")});
    EXPECT_EQ(labels.back(), "the page to draw something");
    EXPECT_GT(acting.session->phases->drawing, Duration::zero());
}

TEST(ActPipeline, AClickWhosePageIsBusyBeforeItsNavigationBeginsReportsTheNewPage) {
    Acting acting("busy-link");
    acting.server.serve("/next", sessionPage("next"));
    acting.open();
    ActionResult result = runTask(acting.session->click(acting.ref("link", "Next page")));
    EXPECT_TRUE(result.navigated);
    EXPECT_EQ(result.url, acting.server.url("/next"));
}

TEST(ActPipeline, AClickThatOpensAPopupSwitchesToItWithoutADiff) {
    Acting acting("opener");
    acting.server.serve("/popup", sessionPage("popup"));
    acting.open();
    ActionResult result = runTask(acting.session->click(acting.ref("button", "Open")));
    EXPECT_TRUE(result.switchedWindow && !result.navigated && result.changes.isEmpty());
    EXPECT_EQ(result.window, "w1");
    EXPECT_EQ(result.title, "Popup");
    EXPECT_EQ(result.dialogs, (std::vector<DialogRecord>{{Kind::popup, acting.server.url("/popup")}}));
    EXPECT_EQ(acting.session->phases->drawing, Duration::zero());

    // The next action acts in the popup.
    ActionResult inside = runTask(acting.session->click(refOf(*acting.session->currentSnapshot(), "button", "Inside")));
    EXPECT_EQ(inside.window, "w1");
    EXPECT_FALSE(inside.switchedWindow);
}

TEST(ActPipeline, SelectPressAndScrollActOnThePage) {
    Acting acting("form");
    acting.open();
    auto& session = acting.session;
    WebKitWebView* view = session->page->get();

    ActionResult selected;
    EXPECT_EQ(acting.labelsOf(session->select(acting.ref("combobox", "Color"), "Green"), selected), phasesOf("select"));
    ASSERT_EQ(selected.changes.changed.size(), 1u);
    EXPECT_EQ(selected.changes.changed[0].value, "Green");

    // Without a target the key goes where the focus is: the select, now.
    runTask(session->press("x"));
    EXPECT_EQ(pageValue(view, "log.textContent"), "x on color");
    EXPECT_TRUE(runTask(session->press("Enter", acting.ref("textbox", "Search"))).changes.textChanged);
    EXPECT_EQ(pageValue(view, "log.textContent"), "searched ");

    ActionResult scrolled;
    EXPECT_EQ(acting.labelsOf(session->scrollBy(0, 400), scrolled).front(), "the page to answer the scroll");
    EXPECT_EQ(pageValue(view, "scrollY"), 400);
    std::string far = acting.ref("button", "Far away");
    runTask(session->scrollTo(far));
    EXPECT_TRUE(session->currentSnapshot()->onScreen.contains(far));
}

TEST(ActPipeline, ElementFailuresPassThroughWithTheCommandTimed) {
    Acting acting("blocked");
    acting.open();
    auto& session = acting.session;
    session->dialogs.records.push_back({Kind::alert, "before"});

    auto locked = browserErrorOf(session->click(acting.ref("button", "Locked")));
    ASSERT_TRUE(locked);
    EXPECT_EQ(locked->failure(), Failure::disabled);
    EXPECT_EQ(session->waitingFor, std::nullopt);
    ASSERT_TRUE(session->phases);
    EXPECT_GT(session->phases->load, Duration::zero());
    EXPECT_EQ(session->phases->settle + session->phases->snapshot, Duration::zero());
    EXPECT_TRUE(session->dialogs.records.empty()) << "emptied when the action began, and not taken by the failure";

    EXPECT_EQ(browserErrorOf(session->select("e99999", "Red"))->failure(), Failure::notFound);
    EXPECT_EQ(browserErrorOf(session->press("NoSuchKey"))->kind(), BrowserError::Kind::script);
}

TEST(ActPipeline, AnActionDoneOnAPageThatCannotBeReadAfterItSaysItWasDone) {
    Acting acting("cart", {.settleTimeout = seconds(1)});
    acting.open();
    auto& session = acting.session;
    auto task = session->click(acting.ref("button", "Add"));
    ASSERT_TRUE(spinUntil([&] { return session->waitingFor == "the page to settle after the click"; }));
    webkit_web_view_terminate_web_process(session->page->get());
    auto error = browserErrorOf(std::move(task));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), BrowserError::Kind::unreadAfterAction) << error->description();
    EXPECT_TRUE(error->description().starts_with("The click was carried out, but the page could not be read after it ("))
        << error->description();
    EXPECT_TRUE(error->description().ends_with("). Take a snapshot to see the page before doing the click again."));
    EXPECT_EQ(session->waitingFor, std::nullopt);
}

TEST(ActPipeline, ACommandGivenUpOnWhileSettlingStopsBeforeItsScan) {
    Acting acting("interval-start", {.settleTimeout = seconds(10)});
    acting.open();
    auto task = acting.session->click(acting.ref("button", "Start"));
    ASSERT_TRUE(spinUntil([&] { return acting.session->waitingFor == "the page to settle after the click"; }));
    task.cancel();
    const auto phases = acting.session->phases;
    ASSERT_TRUE(spinUntil([&] { return task.isDone(); }, seconds(5)));
    EXPECT_THROW(task.result(), CancellationError);
    // Given up on, it changes nothing the next command would report.
    EXPECT_EQ(acting.session->waitingFor, "the page to settle after the click");
    EXPECT_EQ(acting.session->phases, phases);
    ASSERT_TRUE(acting.session->phases);
    EXPECT_EQ(acting.session->phases->snapshot, Duration::zero());
}

TEST(Locate, FindsByRoleNameAndIndexThenBySelector) {
    Acting acting("find");
    acting.open();
    auto& session = acting.session;
    Labels refs = refsOf(acting.page);
    ASSERT_EQ(namesOf(acting.page), (Labels{"Save", "Save"}));

    Locator second{"button", "Save", 1, std::nullopt};
    EXPECT_EQ(runTask(session->locate(second, false)), (BrowserSession::Located{refs[1], false}));

    long floor = *session->lastRef;
    Locator bySelector{"button", "Gone", 0, std::string("#tag")};
    BrowserSession::Located found = runTask(session->locate(bySelector, false));
    EXPECT_EQ(found, (BrowserSession::Located{"e" + std::to_string(floor + 1), true}));
    EXPECT_EQ(*session->lastRef, floor + 1);

    // By name alone, the selector is not offered… unless there is no name to go by.
    EXPECT_EQ(browserErrorOf(session->locate(bySelector, true))->failure(), Failure::notFound);
    Locator unnamed{"heading", "", 0, std::string("#tag")};
    EXPECT_EQ(runTask(session->locate(unnamed, true)), (BrowserSession::Located{found.ref, true}));

    // A reply below the session's count leaves the count where it is.
    session->lastRef.set(5000);
    EXPECT_EQ(runTask(session->locate(second, false)).ref, refs[1]);
    EXPECT_EQ(*session->lastRef, 5000);
}

TEST(ActPipeline, AFillWaitsForTheRequestsItSetOffAndSuggestsTheNewOptions) {
    // A request begun before the fill would hold it this long, and the test would run out of time.
    Acting acting("trip", {.suggestionsTimeout = seconds(60)});
    acting.server.serve("/held", {.hold = true});
    acting.server.serve("/suggest", {.body = "<ul role=listbox aria-label=Cities><li role=option>Bern</li>"
                                             "<li role=option>Berlin</li></ul><button>Clear</button>",
                                     .delay = milliseconds(600)});
    acting.open();
    ActionResult result;
    Labels labels = acting.labelsOf(
        acting.session->runAction("fill", {{"ref", acting.ref("textbox", "City")}, {"value", "Ber"}}, true), result);
    EXPECT_EQ(labels, (Labels{"the page to answer the fill", "the requests the fill set off",
                              "the page to settle after the fill", "a snapshot of the page after the fill"}));
    EXPECT_EQ(acting.server.hits("/suggest"), 1u);
    EXPECT_EQ(namesIn(result.suggestions), (Labels{"Bern", "Berlin"}));
    EXPECT_TRUE(contains(namesIn(result.changes.added), "Clear"));
    EXPECT_GE(acting.session->phases->load, milliseconds(600)) << "the request wait counts into the command's time";
}

TEST(ActPipeline, ASortThatMovesRowsOnScreenIsReadInTheOrderShownAndAnsweredAsAChange) {
    Acting acting("sorted-grid");
    acting.open();
    auto rows = [](const PageSnapshot& page) {
        Labels contexts;
        for (const auto& element : page.elements) {
            if (element.name == "Buy") contexts.push_back(element.context.value_or(""));
        }
        return contexts;
    };
    EXPECT_EQ(rows(acting.page), (Labels{"Apple", "Banana", "Cherry", "Damson"}));

    // The grid moves its rows on screen and keeps them in the document.
    ActionResult sorted = runTask(acting.session->click(acting.ref("columnheader", "Price")));
    EXPECT_TRUE(sorted.changes.textChanged);
    PageSnapshot after = *acting.session->currentSnapshot();
    EXPECT_EQ(rows(after), (Labels{"Cherry", "Damson", "Apple", "Banana"}));
    EXPECT_NE(after.text.find("Cherry\t9\tBuy\nDamson\t5\tBuy\nApple\t3\tBuy\nBanana\t1\tBuy"), std::string::npos)
        << after.text;
    // Columns, a fixed header and a badge placed over its card keep the document's order.
    EXPECT_TRUE(after.text.ends_with("One\nTwo\nThree\nFour\nKettle\nBoils fast.\nNew\nShop header")) << after.text;
}
