// An action as a person's: a click that goes through a control to the
// component holding it, a toolbar that acts on the editor's selection, and
// an answer once the page has done what the action set going (a smooth
// scroll, a panel sliding in, a list loading), not held by decoration.

#include "RealInputPages.h"

using namespace vesk;
using namespace vesk::test;

namespace {

struct OnPage {
    LoopbackServer server;
    std::shared_ptr<BrowserSession> session = actionSession();
    std::unique_ptr<Shown> window;
    PageSnapshot page;

    // `shown`: in a window of its own, where a person's keys and clicks reach it.
    explicit OnPage(const char* file, bool shown = false) {
        if (shown) window = std::make_unique<Shown>(session->page->get(), 900, 700);
        serveFixtures(server, {file});
        std::string name(file);
        page = runTask(session->navigate(server.url("/" + name.substr(0, name.size() - 5))));
    }
    ActionResult click(const std::string& role, const std::string& name) {
        return runTask(session->click(refOf(page, role, name)));
    }
    nlohmann::json read(const std::string& script) { return pageValue(session->page->get(), script); }
    std::string text() const { return session->currentSnapshot()->text; }
    bool heldByAnimations() const { return session->phases->heldBy.contains("animations"); }
};

} // namespace

TEST(ActionAnswerPage, AClickGoesThroughATabToTheComponentThatHoldsItAndNoFurther) {
    OnPage on("segmented-tabs.html");
    ActionResult result = on.click("tab", "Billing");
    ASSERT_EQ(result.changes.changed.size(), 2u);
    EXPECT_EQ(result.changes.changed[1].checked, true);
    EXPECT_EQ(on.read("panel.textContent"), "Billing details");

    // Where the pointer reaches only the form around it, or a veil beside it,
    // the click is refused as before.
    for (const char* name : {"Pay now", "Refund"}) {
        auto error = browserErrorOf(on.session->click(refOf(on.page, "button", name)));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->failure(), BrowserError::ElementFailure::disabled) << name;
    }
    EXPECT_EQ(on.read("panel.textContent"), "Billing details");
}

TEST(ActionAnswerPage, AToolbarButtonActsOnTheTextSelectedInTheEditor) {
    if (!goesOnWithRealInput()) return;
    OnPage on("editor-toolbar.html", true);
    std::string editor = refOf(on.page, "textbox", "Message");
    runTask(on.session->press("Control+a", editor));
    ActionResult bold = on.click("button", "Bold");
    ASSERT_EQ(bold.changes.changed.size(), 1u);
    EXPECT_EQ(bold.changes.changed[0].checked, true) << "the page shows the selection bold";
    runTask(on.session->press("Control+a", editor));
    on.click("button", "Italic");
    EXPECT_EQ(on.read("editor.innerHTML"), "<b><em>plain words</em></b>");

    // A person's keys and clicks, made by the X server on a fresh load, leave the same.
    on.page = runTask(on.session->navigate(on.server.url("/editor-toolbar")));
    WebKitWebView* view = on.session->page->get();
    GtkWidget* widget = GTK_WIDGET(view);
    ASSERT_TRUE(spinUntil([&] { return gtk_widget_get_mapped(widget) && gtk_widget_get_width(widget) > 100; }));
    RealInput& input = *RealInput::get();
    input.focus(widget);
    auto press = [&](const char* button, const char* after) {
        // Each step lands before the next is made, as a person's hand waits;
        // the selection the last step left would let the wait for Control+a
        // pass before the keys have landed.
        on.read("getSelection().removeAllRanges(), document.activeElement.blur(), 0");
        auto [ex, ey] = centreOf(view, "#editor");
        input.click(widget, ex, ey);
        ASSERT_TRUE(spinUntil([&] { return on.read("document.activeElement === editor") == true; }));
        input.key("a", "Control_L");
        ASSERT_TRUE(spinUntil([&] { return on.read("getSelection().toString()") == "plain words"; }))
            << on.read("getSelection().toString()");
        auto [bx, by] = centreOf(view, button);
        input.click(widget, bx, by);
        EXPECT_TRUE(spinUntil([&] { return on.read("editor.innerHTML") == after; })) << on.read("editor.innerHTML");
    };
    press("#bold", "<b>plain words</b>");
    press("#italic", "<b><em>plain words</em></b>");
}

TEST(ActionAnswerPage, ASmoothScrollIsWaitedForUntilThePageHasFollowedIt) {
    OnPage on("month-strip.html");
    for (const char* month : {"February 2026", "March 2026"}) {
        ActionResult result = on.click("button", "Next month");
        EXPECT_TRUE(result.settled && result.changes.textChanged) << month;
        EXPECT_NE(on.text().find(month), std::string::npos) << on.text();
        EXPECT_TRUE(on.heldByAnimations()) << month;
    }
}

TEST(ActionAnswerPage, DecorationHoldsNoAnswerButWhatMovesInOrLoadsDoes) {
    OnPage on("decorations.html");
    on.read("sync.className = 'sync-spin'");
    ASSERT_TRUE(spinUntil([&] { return on.read("sync.getAnimations()[0].currentTime > 100") == true; }));
    // A toast whose bar drains for five seconds, beside a syncing spinner.
    ActionResult archived = on.click("button", "Archive");
    EXPECT_TRUE(archived.settled);
    EXPECT_FALSE(on.heldByAnimations()) << testing::PrintToString(on.session->phases->holders);

    ActionResult folders = on.click("button", "Folders");
    EXPECT_TRUE(folders.settled && on.heldByAnimations());
    ASSERT_EQ(folders.changes.added.size(), 1u);
    EXPECT_EQ(folders.changes.added[0].name, "Sent");

    ActionResult older = on.click("button", "Older messages");
    EXPECT_TRUE(older.settled && on.heldByAnimations());
    EXPECT_NE(on.text().find("Lunch on Friday"), std::string::npos) << on.text();
}
