// What the element list holds on pages built as component libraries build
// them: nothing that a person cannot see, and everything a person clicks,
// whatever shows that it takes clicks (a role, a listener of the page's
// script, the pointer hand under the pointer, a listener on a component's
// box that answers for its items).

#include "ToolPages.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

class ElementListPages : public ToolPages {
protected:
    void SetUp() override {
        ToolPages::SetUp();
        if (IsSkipped()) return;
        serveFixtures(server, {"hidden-things.html", "format-menu.html", "clicked-tabs.html", "clicked-grids.html"});
    }
};

} // namespace

// A frame whose panel the page hides, a switch's own hidden checkbox, a
// select's copy of its value for the form, a calendar's blank days and the
// chips cut away below a row that scrolls sideways are not listed; the floats
// of a body that hides its overflow, and nothing of an editor's content, are.
// A scroll without a ref moves the larger of two panels of a page that does
// not scroll.
TEST_F(ElementListPages, NothingHiddenIsListed) {
    std::string page = open("hidden-things");
    std::string format = refStartingWith(page, "button \"Paragraph format\"");
    std::string all = call("snapshot");
    EXPECT_EQ(count(all, "switch \"Weekly report by email\""), 1u) << all;
    refStartingWith(all, "combobox \"Pet type\" value=\"Cat\"");
    EXPECT_EQ(count(all, "value=\"cat\""), 0u) << "the form's copy of the choice\n" << all;
    EXPECT_EQ(count(all, "(disabled)"), 0u) << "blank days\n" << all;
    refStartingWith(all, "button \"Overdue\"");
    EXPECT_EQ(count(all, "Archived"), 0u) << "cut away below the row\n" << all;
    refStartingWith(all, "textbox \"Notes\"");
    EXPECT_EQ(count(all, "the plan\"") + count(all, "\"Share\""), 0u) << "an editor's content\n" << all;
    EXPECT_EQ(count(all, "option \""), 0u) << "a frame the page never showed\n" << all;

    call("click", {{"ref", format}});
    refStartingWith(call("snapshot"), "option \"Heading 1\"");
    call("click", {{"ref", format}});
    all = call("snapshot");
    EXPECT_EQ(count(all, "option \"") + count(all, "listbox \""), 0u) << "a frame the page hid again\n" << all;

    call("scroll", {{"dy", 300}});
    EXPECT_EQ(evaluate("[content.scrollTop, sidebar.scrollTop]"), Json::array({300, 0}));
}

// Tabs and a date picker's days that are links without an address, given a
// listener each and the hand under the pointer alone, a tag that only the
// hand marks, and a row's menu trigger while its menu is open.
TEST_F(ElementListPages, WhatAPersonClicksIsListedByItsOwnSigns) {
    std::string page = open("clicked-tabs");
    call("click", {{"ref", refStartingWith(page, "generic \"Billing\"")}});
    EXPECT_EQ(evaluate("billing.hidden"), false);
    call("click", {{"ref", refStartingWith(page, "generic \"14\"")}});
    call("click", {{"ref", refStartingWith(page, "generic \"Urgent\"")}});
    EXPECT_EQ(evaluate("[due.textContent, label.textContent]"), Json::array({"2027-04-14", "urgent"}));

    std::string trigger = refStartingWith(page, "generic \"\u22ee\" in \"Invoice 1042\"");
    std::string opened = call("click", {{"ref", trigger}});
    refStartingWith(opened, "menuitem \"Download\"");
    std::string now = call("snapshot");
    EXPECT_NE(now.find("[" + trigger + "] generic \"\u22ee\" in \"Invoice 1042\"\n"), std::string::npos) << now;
    call("click", {{"ref", trigger}});
    EXPECT_EQ(evaluate("document.querySelector('[role=menu]')"), nullptr);
}

// A grid's headers and a calendar's days in a shadow root, each answered by
// one listener on their box; a listener on the application's root lists
// nothing of what it holds, and one on a column's resize handle, which is
// dragged, lists no handle.
TEST_F(ElementListPages, TheItemsOfABoxThatAnswersForThemAreListed) {
    std::string page = open("clicked-grids");
    call("click", {{"ref", refStartingWith(page, "columnheader \"Name\"")}});
    EXPECT_EQ(evaluate("grid.querySelector('tbody td').textContent"), "Ann");
    call("click", {{"ref", refStartingWith(page, "generic \"14\"")}});
    EXPECT_EQ(evaluate("chosen.textContent"), "2027-05-14");
    EXPECT_EQ(count(page, "\"Taxes included\"") + count(page, "\"May 2027\"") + count(page, "resize"), 0u) << page;
}
