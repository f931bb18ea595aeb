#include "BrowserMCP/PageRendering.h"
#include "RenderingSupport.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test::rendering;
namespace R = vesk::PageRendering;

TEST(FindText, MatchesElementsAndLinesRegardlessOfCaseAndDiacritics) {
    PageElement cafe = element("e1", "button", "Caf\u00e9 Cr\u00e8me");
    PageElement field = element("e2", "textbox", "Town");
    field.value = "Z\u00fcrich";
    PageElement list = element("e3", "combobox", "Size");
    list.options = "Small, CR\u00c8ME";
    PageElement grouped = element("e4", "link", "Go");
    grouped.context = "Creme brulee";
    grouped.href = "https://a.example/go";
    PageSnapshot p = page("https://a.example/", "Menu",
                          {cafe, field, list, grouped, element("e5", "button", "Tea")},
                          "Our cre\u0300me\n\nTea only\nCREME DE LA CREME");
    EXPECT_EQ(R::find("creme", p),
              wrapped({"Page: \"Menu\"\nURL: https://a.example/", "Elements (3):",
                       "[e1] button \"Caf\u00e9 Cr\u00e8me\"", "[e3] combobox \"Size\" options=\"Small, CR\u00c8ME\"",
                       "[e4] link \"Go\" in \"Creme brulee\"", "Lines of text (2):", "| Our cre\u0300me",
                       "| CREME DE LA CREME"}));
    EXPECT_EQ(R::find("ZURICH", p),
              wrapped({"Page: \"Menu\"\nURL: https://a.example/", "Elements (1):",
                       "[e2] textbox \"Town\" value=\"Z\u00fcrich\""}));
    // The role counts too; text lines alone are listed without an element heading.
    EXPECT_NE(R::find("COMBOBOX", p).find("Elements (1):\n[e3]"), std::string::npos);
    EXPECT_EQ(R::find("only", p),
              wrapped({"Page: \"Menu\"\nURL: https://a.example/", "Lines of text (1):", "| Tea only"}));
}

TEST(FindText, SaysWhenNothingMatches) {
    PageSnapshot p = page("https://a.example/", "A", {element("e1", "button", "OK")}, "text");
    EXPECT_EQ(R::find("say \"hi\"", p),
              wrapped({"Page: \"A\"\nURL: https://a.example/",
                       "Nothing on the page has \"say \\\"hi\\\"\" in its name, role, value, options or text."}));
    EXPECT_EQ(R::find("", p), wrapped({"Page: \"A\"\nURL: https://a.example/",
                                       "Nothing on the page has \"\" in its name, role, value, options or text."}));
}

TEST(FindText, ShowsTheFirst30MatchesAndCutsLongLines) {
    std::string text;
    for (int i = 0; i < 35; ++i) text += "row " + std::to_string(i) + "\n";
    text += "row " + std::string(496, 'x');
    PageSnapshot p = page("https://a.example/", "A", buttons(1, 45), text);
    const std::string out = R::find("b", p);
    EXPECT_NE(out.find("Elements (45, first 30):\n[e1] button \"B1\"\n"), std::string::npos);
    EXPECT_NE(out.find("[e30] button \"B30\"\n</page-content>"), std::string::npos);

    const std::string rows = R::find("ROW", p);
    EXPECT_NE(rows.find("Lines of text (36, first 30):\n| row 0\n"), std::string::npos);
    EXPECT_NE(rows.find("| row 29\n</page-content>"), std::string::npos);

    const std::string longLine = R::find("xxx", p);
    EXPECT_EQ(longLine, wrapped({"Page: \"A\"\nURL: https://a.example/", "Lines of text (1):",
                                 "| row " + std::string(195, 'x') + "…"}));
}
