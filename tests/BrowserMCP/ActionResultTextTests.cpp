#include "BrowserMCP/PageRendering.h"
#include "RenderingSupport.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test::rendering;
namespace R = vesk::PageRendering;

namespace {

const std::string header = "Page: \"Shop\"\nURL: https://shop.example/cart";

ActionResult result() {
    ActionResult r;
    r.url = "https://shop.example/cart";
    r.title = "Shop";
    r.settled = true;
    r.window = "main";
    return r;
}

DialogRecord dialog(DialogRecord::Kind kind, std::string message) { return {kind, std::move(message)}; }

} // namespace

TEST(ActionResultText, SaysWhenNothingChanged) {
    EXPECT_EQ(R::actionResult(result(), std::nullopt, std::nullopt),
              wrapped({header, "Nothing changed on the page."}));
    ActionResult r = result();
    r.changes.textChanged = true;
    EXPECT_EQ(R::actionResult(r, std::nullopt, std::nullopt),
              wrapped({header, "The visible text changed; call snapshot to read it."}));
    r.settled = false;
    EXPECT_EQ(R::actionResult(r, std::nullopt, std::nullopt),
              "Warning: the page was still loading or changing when the wait ended.\n" +
                  wrapped({header, "The visible text changed; call snapshot to read it."}));
}

TEST(ActionResultText, ListsChangesSuggestionsAddedAndRemoved) {
    ActionResult r = result();
    PageElement box = element("e2", "checkbox", "Gift");
    box.checked = true;
    r.changes.changed = {box};
    r.suggestions = {element("e40", "option", "Blue"), element("e41", "option", "Black")};
    r.changes.added = {element("e40", "option", "Blue"), element("e41", "option", "Black"),
                       link("e42", "Help", "https://shop.example/help?x")};
    r.changes.removed = {"e3", "e4", "e5", "e9"};
    r.changes.textChanged = true;
    EXPECT_EQ(R::actionResult(r, std::nullopt, std::nullopt),
              wrapped({header, "Changed:", "[e2] checkbox \"Gift\" (checked)", "Suggestions:",
                       "[e40] option \"Blue\"", "[e41] option \"Black\"", "Added:", "[e42] link \"Help\" -> /help…",
                       "Removed: e3-e5, e9", "The visible text changed; call snapshot to read it."}));

    // With the page after the action, a single named link hides its target.
    PageSnapshot after = page(r.url, r.title, r.changes.added);
    EXPECT_NE(R::actionResult(r, after, std::nullopt).find("Added:\n[e42] link \"Help\"\nRemoved"),
              std::string::npos);
}

TEST(ActionResultText, ListsOnlyTheAddedElementsOnScreenWhenMoreThan80Came) {
    ActionResult r = result();
    r.changes.added = buttons(1, 90);
    PageSnapshot after = page(r.url, r.title, r.changes.added);
    for (int i = 81; i <= 90; ++i) after.onScreen.insert("e" + std::to_string(i));
    const std::string out = R::actionResult(r, after, std::nullopt);
    EXPECT_NE(out.find("Added (90, the 10 on screen; find looks in the rest):\n[e81] button"), std::string::npos);
    EXPECT_NE(out.find("[e90] button \"B90\"\n</page-content>"), std::string::npos);

    // Nothing on screen: the first 80 of all.
    after.onScreen.clear();
    const std::string all = R::actionResult(r, after, std::nullopt);
    EXPECT_NE(all.find("Added (90, first 80; call snapshot for the rest):\n[e1] button"), std::string::npos);
}

TEST(ActionResultText, ShowsTheFirst30RangesOfRemovedRefs) {
    ActionResult r = result();
    for (int i = 1; i <= 61; i += 2) r.changes.removed.push_back("e" + std::to_string(i));
    const std::string out = R::actionResult(r, std::nullopt, std::nullopt);
    EXPECT_NE(out.find("Removed (31, first of them): e1, e3, "), std::string::npos);
    EXPECT_NE(out.find(", e59\n</page-content>"), std::string::npos);
}

TEST(ActionResultText, ShowsTheNewPageAfterANavigationOrWindowSwitch) {
    ActionResult r = result();
    r.navigated = true;
    PageSnapshot after = page("https://shop.example/done", "Done", {element("e1", "button", "Home")}, "Thanks");
    after.onScreen = {"e1"};
    EXPECT_EQ(R::actionResult(r, after, page("https://shop.example/cart", "Shop")),
              "Navigated to a new page.\n" + R::snapshot(after, true, page("https://shop.example/cart", "Shop")));
    // Without the page after, the change list stands in.
    EXPECT_EQ(R::actionResult(r, std::nullopt, std::nullopt), wrapped({header, "Nothing changed on the page."}));

    r.switchedWindow = true;
    r.window = "popup1";
    r.settled = false;
    EXPECT_EQ(R::actionResult(r, after, std::nullopt),
              "Warning: the page was still loading or changing when the wait ended.\n"
              "Commands now act on the window popup1.\n" + R::snapshot(after, true));
    r.window = "main";
    EXPECT_TRUE(R::actionResult(r, after, std::nullopt)
                    .starts_with("Warning: the page was still loading or changing when the wait ended.\n"
                                 "The window closed. Commands are back on the main page.\n"));
}

TEST(ActionResultText, ReportsDialogsPopupsConsoleErrorsAndFailedRequests) {
    ActionResult r = result();
    for (int i = 1; i <= 10; ++i) r.dialogs.push_back(dialog(DialogRecord::Kind::alert, "A" + std::to_string(i)));
    r.dialogs.insert(r.dialogs.begin() + 1, dialog(DialogRecord::Kind::popup, "https://ads.example/p?id=1"));
    r.consoleErrors = 1;
    r.failedRequests = {{"POST", "https://shop.example/api", 500, std::nullopt, 12, std::nullopt}};

    std::vector<std::string> alerts;
    for (int i = 1; i <= 10; ++i) alerts.push_back("alert \"A" + std::to_string(i) + "\"");
    EXPECT_EQ(R::actionResult(r, std::nullopt, std::nullopt),
              wrapped({header, "Nothing changed on the page."}) + "\nDialogs answered automatically:\n" +
                  wrapped(alerts) + "\nThe page opened a separate window:\n" +
                  wrapped({"https://ads.example/p…"}) +
                  "\nThe page reported 1 console error meanwhile; console gives it.\nFailed requests:\n" +
                  wrapped({"POST \"https://shop.example/api\" 500 12 ms"}));

    r.dialogs.push_back(dialog(DialogRecord::Kind::prompt, "Name?"));
    r.consoleErrors = 2;
    const std::string more = R::actionResult(r, std::nullopt, std::nullopt);
    EXPECT_NE(more.find("\nDialogs answered automatically (11, first 10):\n" + wrapped(alerts) + "\n"),
              std::string::npos);
    EXPECT_NE(more.find("\nThe page reported 2 console errors meanwhile; console gives them.\n"), std::string::npos);
}

TEST(ActionResultText, DialogLineCutsTheMessage) {
    EXPECT_EQ(R::dialogLine(dialog(DialogRecord::Kind::fileInput, "Pick\na file")), "fileInput \"Pick a file\"");
    EXPECT_EQ(R::dialogLine(dialog(DialogRecord::Kind::confirm, std::string(250, 'q'))),
              "confirm \"" + std::string(199, 'q') + "…\"");
}
