#include "BrowserMCP/PageRendering.h"
#include "RenderingSupport.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test::rendering;
namespace R = vesk::PageRendering;

using Lines = std::vector<std::string>;

TEST(ElementLine, WritesEveryPieceInOrder) {
    PageElement e = element("e7", "textbox", "Search \"all\"");
    e.context = "Header\nbar";
    e.frame = "f2";
    e.type = "search";
    e.value = "shoes";
    e.options = "a, b";
    e.checked = true;
    e.required = true;
    e.disabled = true;
    e.href = "https://shop.example/s?q=1";
    EXPECT_EQ(R::elementLine(e, "https://shop.example/"),
              "[e7] textbox \"Search \\\"all\\\"\" in \"Header bar\" (frame f2) type=search value=\"shoes\" "
              "options=\"a, b\" (checked) (required) (disabled) -> /s…");

    PageElement plain = element("e1", "checkbox", "");
    plain.value = "";
    plain.checked = false;
    plain.disabled = false;
    EXPECT_EQ(R::elementLine(plain, ""), "[e1] checkbox \"\"");
}

TEST(ElementLine, ShowsALinkTargetOnlyWhenItTellsSomething) {
    const std::vector<PageElement> elements = {
        link("e1", "More", "https://a.example/1"), link("e2", "More", "https://a.example/2"),
        link("e3", "About", "https://a.example/about"), link("e4", "", "https://a.example/img"),
        element("e5", "button", "About")};
    const R::NameSet names = R::duplicateLinkNames(elements);
    EXPECT_EQ(names, R::NameSet{"More"});
    const std::string base = "https://a.example/";
    EXPECT_EQ(R::elementLine(elements[0], base, &names), "[e1] link \"More\" -> /1");
    EXPECT_EQ(R::elementLine(elements[1], base, &names), "[e2] link \"More\" -> /2");
    EXPECT_EQ(R::elementLine(elements[2], base, &names), "[e3] link \"About\"");
    EXPECT_EQ(R::elementLine(elements[3], base, &names), "[e4] link \"\" -> /img");
    EXPECT_EQ(R::elementLine(elements[2], base), "[e3] link \"About\" -> /about");
    EXPECT_TRUE(R::duplicateLinkNames({}).empty());
}

TEST(ElementLine, CanonicallyEquivalentLinkNamesAreDuplicates) {
    const std::vector<PageElement> elements = {link("e1", "Caf\u00e9", "https://a.example/1"),
                                               link("e2", "Cafe\u0301", "https://a.example/2")};
    const R::NameSet names = R::duplicateLinkNames(elements);
    EXPECT_EQ(R::elementLine(elements[1], "https://a.example/", &names), "[e2] link \"Cafe\u0301\" -> /2");
}

TEST(CoverLines, ListsTheCoversControlsFoundOnThePage) {
    PageSnapshot p = page("https://a.example/", "A", buttons(1, 12));
    EXPECT_EQ(R::coverLines("", {"x1", "x2"}, p),
              Lines{"Covered: A dialog or notice lies over the page, and what it covers cannot be reached until it is "
                    "closed."});
    EXPECT_EQ(R::coverLines("Cookies", {"e2", "e1"}, p),
              (Lines{"Covered: The dialog or notice \"Cookies\" lies over the page, and what it covers cannot be "
                     "reached until it is closed; its controls:",
                     "[e2] button \"B2\"", "[e1] button \"B1\""}));
    // A ref that is not found makes the list partial.
    EXPECT_EQ(R::coverLines("", {"e3", "gone"}, p)[0],
              "Covered: A dialog or notice lies over the page, and what it covers cannot be reached until it is "
              "closed; its first controls:");
    std::vector<std::string> refs;
    for (int i = 1; i <= 12; ++i) refs.push_back("e" + std::to_string(i));
    Lines many = R::coverLines("", refs, p);
    ASSERT_EQ(many.size(), 11u);
    EXPECT_TRUE(many[0].ends_with("; its first controls:"));
    EXPECT_EQ(many[10], "[e10] button \"B10\"");
}

TEST(ElementList, FoldsRunsOfThreeOrMoreDisabledElementsOfOneRole) {
    auto disabled = [](std::vector<PageElement> list) {
        for (auto& e : list) e.disabled = true;
        return list;
    };
    EXPECT_EQ(R::elementList("Added", disabled(buttons(1, 5)), "", nullptr, 30),
              (Lines{"Added:", "[e1 to e5] 5 button, all disabled: \"B1\" to \"B5\""}));
    EXPECT_EQ(R::elementList("Added", disabled(buttons(1, 2)), "", nullptr, 30),
              (Lines{"Added:", "[e1] button \"B1\" (disabled)", "[e2] button \"B2\" (disabled)"}));
    std::vector<PageElement> mixed = disabled(buttons(1, 5));
    mixed[1].role = mixed[3].role = "link";
    EXPECT_EQ(R::elementList("Added", mixed, "", nullptr, 30).size(), 6u);
    // A run stops at an enabled element.
    std::vector<PageElement> broken = disabled(buttons(1, 4));
    broken[2].disabled = std::nullopt;
    EXPECT_EQ(R::elementList("X", broken, "", nullptr, 30),
              (Lines{"X:", "[e1] button \"B1\" (disabled)", "[e2] button \"B2\" (disabled)", "[e3] button \"B3\"",
                     "[e4] button \"B4\" (disabled)"}));
    EXPECT_TRUE(R::elementList("Added", {}, "", nullptr, 30).empty());
}

TEST(ElementList, CountsTheElementsOfTheShownEntriesUnderTheCap) {
    Lines forty = R::elementList("Changed", buttons(1, 40), "", nullptr, 30);
    ASSERT_EQ(forty.size(), 31u);
    EXPECT_EQ(forty[0], "Changed (40, first 30; call snapshot for the rest):");
    EXPECT_EQ(forty[30], "[e30] button \"B30\"");

    // First a run of 5 disabled buttons, then 34 single elements: 35 entries.
    std::vector<PageElement> list = buttons(1, 39);
    for (int i = 0; i < 5; ++i) list[i].disabled = true;
    Lines folded = R::elementList("Changed", list, "", nullptr, 30);
    EXPECT_EQ(folded[0], "Changed (39, first 34; call snapshot for the rest):");
    EXPECT_EQ(folded.size(), 31u);
    EXPECT_EQ(R::elementList("Changed", buttons(1, 30), "", nullptr, 30)[0], "Changed:");
}

TEST(RefRanges, FoldsConsecutiveNumbersWithTheSamePrefix) {
    using Refs = std::vector<std::string>;
    EXPECT_EQ(R::refRanges({"e3", "e4", "e5", "e9"}), (Refs{"e3-e5", "e9"}));
    EXPECT_EQ(R::refRanges({"e5", "e4"}), (Refs{"e5", "e4"}));
    EXPECT_EQ(R::refRanges({"a1", "b2", "b3"}), (Refs{"a1", "b2-b3"}));
    EXPECT_EQ(R::refRanges({"e9", "e10", "e010", "e11"}), (Refs{"e9-e10", "e010-e11"}));
    EXPECT_EQ(R::refRanges({"x", "y", "e1x", "e2"}), (Refs{"x", "y", "e1x", "e2"}));
    EXPECT_EQ(R::refRanges({"f1e1", "f1e2"}), (Refs{"f1e1", "f1e2"}));
    EXPECT_EQ(R::refRanges({"e99999999999999999999", "e100000000000000000000"}),
              (Refs{"e99999999999999999999", "e100000000000000000000"}));
    EXPECT_TRUE(R::refRanges({}).empty());
}
