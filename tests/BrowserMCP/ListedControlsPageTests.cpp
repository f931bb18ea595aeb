// What a person clicks on pages built as component libraries build them, as
// the agent reads and uses it: calendar days, icon arrows, a sorting header
// that holds a filter, a filter icon hidden from screen readers, fields
// wrapped by their own combobox (a password among them named by its label
// alone), header sort buttons, a field laid unseen over its box and icon-font
// glyphs, each listed once, by a name that tells it apart and in a context of
// its own surroundings.

#include "BrowserCore/Secrets/SiteKey.h"
#include "BrowserCore/Session/RealInputPages.h"
#include "ToolPages.h"

#include <gtest/gtest.h>


using namespace vesk;
using namespace vesk::test;

namespace {

class ListedControls : public ToolPages {
protected:
    void SetUp() override {
        ToolPages::SetUp();
        if (IsSkipped()) return;
        for (const char* page : {"month-calendar", "date-picker", "data-grid", "wrapped-fields", "wrapped-passwords",
                                 "sort-buttons", "nav-arrows", "day-table", "overlaid-select", "one-control",
                                 "glyph-names"}) {
            server.serve(std::string("/") + page, sessionPage(page));
        }
    }
};

} // namespace

TEST_F(ListedControls, ACalendarsDaysAreListedByTheirDateAndPickedByAClickOnTheDay) {
    std::string page = open("month-calendar");
    std::string day = ref(page, "gridcell \"March 14, 2027\"");
    ref(page, "generic \"Team meeting\"");
    EXPECT_NE(call("find", {{"text", "March 14, 2027"}}).find("[" + day + "] gridcell \"March 14, 2027\""), std::string::npos);

    call("click", {{"ref", day}});
    EXPECT_EQ(evaluate("[chosen.textContent, booking.hidden]"), Json::array({"2027-03-14", false}));
    // A day that holds an event is picked where its date shows, not on the event.
    call("click", {{"ref", ref(page, "gridcell \"March 3, 2027\"")}});
    EXPECT_EQ(evaluate("[chosen.textContent, document.title]"), Json::array({"2027-03-03", "Book a room"}));
}

TEST_F(ListedControls, IconsWithoutANameAreListedByTheIconWordsOfTheirClassElseUnnamed) {
    std::string page = open("date-picker");
    std::string next = ref(page, "generic \"next month\"");
    ref(page, "generic \"prev month\"");
    ref(page, "generic \"\"");
    EXPECT_EQ(count(page, "next month"), 1u) << "the icon inside is not listed again";

    call("click", {{"ref", next}});
    EXPECT_NE(call("snapshot").find("generic \"April 14, 2027\""), std::string::npos);
}

TEST_F(ListedControls, AHeaderThatSortsIsListedBesideItsFieldAndAFilterIconShowsUnderThePointer) {
    std::string page = open("data-grid");
    std::string name = ref(page, "columnheader \"Name\"");
    ref(page, "textbox \"Name Filter Input\"");
    std::string city = ref(page, "columnheader \"City\"");
    EXPECT_EQ(count(page, "\"Name\""), 1u) << "its title is the header's own\n" << page;
    EXPECT_EQ(count(page, "filter\""), 0u) << "the filter icon shows only under the pointer\n" << page;

    call("click", {{"ref", name}});
    EXPECT_EQ(evaluate("[document.querySelector('[col-id=name]').getAttribute('aria-sort'), "
                       "document.activeElement.getAttribute('col-id'), document.querySelector('.ag-row').textContent]"),
              Json::array({"ascending", "name", "Ann SilvaMadrid79"}));

    // aria-hidden hides the icon from screen readers, not from sight.
    std::string hovered = call("hover", {{"ref", city}});
    std::string icon = ref(hovered, "generic \"filter\"");
    call("click", {{"ref", icon}});
    EXPECT_NE(call("snapshot").find("textbox \"Filter City\""), std::string::npos);
    EXPECT_EQ(evaluate("document.querySelector('[col-id=city]').getAttribute('aria-sort')"), "none");
}

TEST_F(ListedControls, AFieldWrappedByItsOwnComboboxIsOneControlNamedByItsLabel) {
    std::string page = open("wrapped-fields");
    std::string priority = ref(page, "combobox \"Priority\" value=\"Normal\"");
    std::string assignee = ref(page, "combobox \"Assignee\"");
    std::string estimate = ref(page, "spinbutton \"Estimate\" value=\"1\"");
    ref(page, "textbox \"Token\" value=\"\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022\"");
    EXPECT_EQ(count(page, "combobox \""), 2u) << page;
    EXPECT_EQ(count(page, "textbox"), 1u) << page;
    EXPECT_EQ(count(page, "s3cret"), 0u) << "a wrapper shows its password field's text masked";

    // Typed text goes into the field the wrapper holds.
    EXPECT_NE(call("fill", {{"ref", assignee}, {"text", "An"}}).find("option \"Ann Silva\""), std::string::npos);
    call("fill", {{"ref", estimate}, {"text", "3"}});
    EXPECT_EQ(evaluate("[assignee.value, document.querySelector('.number-input input').value]"), Json::array({"An", "3"}));
    call("select", {{"ref", priority}, {"option", "High"}});
    EXPECT_NE(call("snapshot").find("combobox \"Priority\" value=\"High\""), std::string::npos);
}

TEST_F(ListedControls, AControlIsPlacedInItsOwnHeaderNeverInANeighbours) {
    std::string page = open("sort-buttons");
    ref(page, "button \"Sort column ascending\" in \"Supplier\"");
    std::string city = ref(page, "button \"Sort column ascending\" in \"City\"");
    ref(page, "button \"Sort column ascending\" in \"Lead time\"");
    call("click", {{"ref", city}});
    EXPECT_EQ(evaluate("document.title"), "Sorted by City");
}

TEST_F(ListedControls, IconsOfOneLookAreToldApartByWhatTheyDoElseByTheRowThatHoldsEach) {
    std::string page = open("nav-arrows");
    std::string next = ref(page, "generic \"next\"");
    ref(page, "generic \"prev\"");
    ref(page, "generic \"edit\" in \"Email\"");
    std::string phone = ref(page, "generic \"edit\" in \"Phone\"");

    call("click", {{"ref", next}});
    call("click", {{"ref", phone}});
    EXPECT_EQ(evaluate("[document.querySelector('.air-datepicker-nav--title').textContent, document.title]"),
              Json::array({"April, 2027", "Edit phone"}));
}

TEST_F(ListedControls, ADayPlacedByTextEveryDaySharesIsPlacedByItsMonthInstead) {
    std::string page = open("day-table");
    EXPECT_EQ(count(page, "Use the arrow keys"), 1u) << "only in the page's text\n" << page;
    std::string before = ref(page, "generic \"28\" in \"2027-02\"");
    ref(page, "generic \"28\" in \"2027-03\"");
    ref(page, "generic \"15\"");
    call("click", {{"ref", before}});
    EXPECT_EQ(evaluate("chosen.textContent"), "2027-02-28");
}

TEST_F(ListedControls, AFieldLaidUnseenOverItsBoxIsListedWhereTheBoxIsWithWhatTheBoxShows) {
    std::string page = open("overlaid-select");
    std::string location = ref(page, "combobox \"Work location\" value=\"Country / city / site\"");
    std::string shift = ref(page, "combobox \"Shift\" value=\"Day\" options=\"Day | Night\"");
    EXPECT_NE(call("find", {{"text", "Work location"}}).find("[" + location + "] combobox"), std::string::npos);

    std::string opened = call("click", {{"ref", location}});
    call("click", {{"ref", ref(opened, "option \"Lisbon\"")}});
    call("select", {{"ref", shift}, {"option", "Night"}});
    std::string now = call("snapshot");
    EXPECT_NE(now.find("combobox \"Work location\" value=\"Lisbon\""), std::string::npos) << now;
    EXPECT_NE(now.find("combobox \"Shift\" value=\"Night\""), std::string::npos) << now;
}

TEST_F(ListedControls, OneControlAPersonSeesIsOneElementNamedOnce) {
    std::string page = open("one-control");
    ref(page, "button \"Order: Activate to invert sorting\"");
    ref(page, "button \"Sort by Name\"");
    std::string country = ref(page, "combobox \"Select a country\" value=\"Select a country\"");
    ref(page, "combobox \"Search people\"");
    ref(page, "button \"Save\"");
    EXPECT_EQ(count(page, "columnheader") + count(page, "textbox"), 0u) << page;
    EXPECT_EQ(count(page, "\"Search people\""), 1u) << "three hundred wrappers are one field";

    std::string opened = call("click", {{"ref", country}});
    std::string chosen = call("click", {{"ref", ref(opened, "option \"Portugal\"")}});
    EXPECT_NE(chosen.find("combobox \"Portugal\" value=\"Portugal\"\n"), std::string::npos) << "no clear glyph\n" << chosen;
}

TEST_F(ListedControls, ANameOfGlyphsAloneIsNoNameAndTheControlIsDescribedAsAnIcon) {
    std::string page = open("glyph-names");
    std::string menu = ref(page, "button \"menu down\"");
    ref(page, "checkbox \"toggle all\"");
    ref(page, "button \"\u00d7\" in \"Buy milk\"");
    EXPECT_EQ(count(page, "\U000F035D") + count(page, "\u00bb"), 0u) << page;
    call("click", {{"ref", menu}});
    EXPECT_EQ(evaluate("people.hidden"), false);
}

// What a person typed with real keys into wrapped password fields (a
// textbox's and a combobox's), what the page set and what the agent filled
// from a stored value: the name is the label's words alone, and no line of a
// snapshot or a find holds the value.
TEST_F(ListedControls, AWrappedPasswordFieldIsNamedByItsLabelAloneWhateverItHolds) {
    if (!goesOnWithRealInput()) return;
    session->setVariables({{*siteKeyOfURL(server.url("/")), {{"PW", "Stored-Pass-99"}}}});
    std::string page = open("wrapped-passwords");
    WebKitWebView* view = session->page->get();
    session->unstage(view);
    Shown shown{view, 800, 600};
    ASSERT_TRUE(spinUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(view)); }));
    RealInput& input = *RealInput::get();
    input.focus(GTK_WIDGET(view));
    for (const std::string field : {"typed", "chosen"}) {
        auto [x, y] = centreOf(view, "#" + field);
        input.click(GTK_WIDGET(view), x, y);
        ASSERT_TRUE(spinUntil([&] { return evaluate("document.activeElement.id") == field; }));
        input.type("HandTyped-Pass-77");
        ASSERT_TRUE(spinUntil([&] { return evaluate(field + ".value") == "HandTyped-Pass-77"; }));
    }
    call("fill", {{"ref", ref(page, "textbox \"PIN\"")}, {"text", "${PW}"}});

    std::string answers = call("snapshot");
    for (const char* line : {"textbox \"Password\" value=\"\u2022", "combobox \"Passcode\" value=\"\u2022",
                             "textbox \"Secret\" value=\"\u2022", "textbox \"PIN\" value=\"\u2022",
                             "textbox \"Plain\" type=password value=\"\u2022"}) {
        EXPECT_NE(answers.find(std::string("] ") + line), std::string::npos) << line << "\n" << answers;
    }
    answers += call("find", {{"text", "Pass"}});
    EXPECT_NE(call("find", {{"text", "HandTyped"}}).find("Nothing on the page has \"HandTyped\""), std::string::npos);
    for (const char* value : {"Pass-", "${PW}"}) {
        EXPECT_EQ(answers.find(value), std::string::npos) << value << "\n" << answers;
    }
}
