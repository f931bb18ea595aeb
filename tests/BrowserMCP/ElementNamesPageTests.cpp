// What the element lines say on pages built as component libraries build
// them: names as the page shows them (line breaks, hidden icons, unseen
// comboboxes, open folders), icons described by what they show and never by
// the class names that style them, contexts taken from an element's own
// containers alone, and no two lines alike.

#include "ToolPages.h"

#include <gtest/gtest.h>

#include <set>

using namespace vesk;
using namespace vesk::test;

namespace {

class ElementNames : public ToolPages {
protected:
    void SetUp() override {
        ToolPages::SetUp();
        if (IsSkipped()) return;
        for (const char* page : {"claim-form", "own-places", "alike-lines"}) {
            server.serve(std::string("/") + page, sessionPage(page));
        }
    }

    // The whole page, every element listed.
    std::string openWhole(const std::string& page) {
        open(page);
        return call("snapshot");
    }
};

} // namespace

TEST_F(ElementNames, NamesAreWhatThePageShowsAndIconsAreDescribedByWhatTheyShow) {
    std::string page = openWhole("claim-form");
    for (const char* line : {"button \"notifications\"", "textbox \"Search claims\"", "button \"Save draft\"",
                             "radio \"Starter 6 EUR per seat a month Up to 5 seats\" in \"Plan\"",
                             "generic \"Choose a purpose\"", "treeitem \"Projects\"", "button \"\u25be\" in \"Projects\"",
                             "treeitem \"2027\"", "generic \"sorting\" in \"Merchant\""}) {
        ref(page, line);
    }
    ref(page, "button \"\"");
    EXPECT_EQ(count(page, "] button \"\" in \"Guests\"\n"), 2u) << "no word names a number field's buttons: its field places them";
    for (const char* wrong : {"selectable", "default type", "ex label", "tui grid", "loading", "Meals Meals"}) {
        EXPECT_EQ(count(page, wrong), 0u) << wrong << "\n" << page;
    }
    EXPECT_NE(call("find", {{"text", "Save draft"}}).find("] button \"Save draft\""), std::string::npos);
    // The unseen combobox is used through the field that shows it.
    call("click", {{"ref", ref(page, "combobox \"Category\" value=\"Meals\"")}});
    EXPECT_EQ(pageValue(session->page->get(), "document.title"), "Category opened");
}

TEST_F(ElementNames, AContextIsTextOfTheElementsOwnContainersNeverOfWhatStandsBesideIt) {
    std::string page = openWhole("own-places");
    for (const char* line : {"button \"menu\"", "button \"notifications\"", "button \"\"", "checkbox \"toggle all\"",
                             "checkbox \"\" in \"Buy milk\""}) {
        ref(page, line);
    }
    for (const char* wrong : {"in \"Ledgerly", "in \"notifications\"", "\"before\"", "\"after\"", "in \"Buy milk Call Bo\""}) {
        EXPECT_EQ(count(page, wrong), 0u) << wrong << "\n" << page;
    }
}

TEST_F(ElementNames, ControlsAlikeAreToldApartByTheNearestTextOfTheirOwnContainersThatDiffers) {
    std::string page = openWhole("alike-lines");
    for (const char* line : {"button \"bold\" in \"Description\"", "button \"bold\" in \"Notes\"",
                             "button \"Open Filter Menu\" in \"Merchant\"", "button \"Open Filter Menu\" in \"Amount\"",
                             "listbox \"\" in \"Approvers\"", "listbox \"\" in \"Watchers\"", "generic \"1\" in \"December 2027\"",
                             "checkbox \"\" in \"A-101\"", "button \"Next page\""}) {
        ref(page, line);
    }
    std::set<std::string> lines;
    for (auto at = page.find("\n[e"); at != std::string::npos; at = page.find("\n[e", at + 1)) {
        auto start = page.find("] ", at), end = page.find('\n', at + 1);
        EXPECT_TRUE(lines.insert(page.substr(start, end - start)).second) << page.substr(start, end - start);
    }
    call("click", {{"ref", ref(page, "generic \"1\" in \"January 2028\"")}});
    EXPECT_EQ(pageValue(session->page->get(), "document.title"), "2028-01-01");
}
