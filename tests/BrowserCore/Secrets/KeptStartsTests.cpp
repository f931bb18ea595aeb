#include "BrowserCore/Secrets/KeptStarts.h"

#include <gtest/gtest.h>

using namespace vesk;

using Starts = std::vector<KeptStart>;

TEST(KeptStarts, AreTheStartOfTheValueInWhichWhatAFieldHoldsEnds) {
    std::map<std::string, std::string> values{
        {"acme.user", "alice"}, {"acme.password", "Password123!"}, {"acme.otp", "287082"}, {"NOTE", "ab\ncdef"}};
    EXPECT_EQ(startsKept("${acme.password}", values, "Password"), (Starts{{"acme.password", "Password"}}));
    // After a whole value and text, in another letter case.
    EXPECT_EQ(startsKept("${acme.user}: ${acme.password}", values, "ALICE: pASSW"), (Starts{{"acme.password", "Passw"}}));
    // A field that left out the line breaks: the start as typed and as held.
    EXPECT_EQ(startsKept("${NOTE}", values, "abcd"), (Starts{{"NOTE", "ab\ncd"}, {"NOTE", "abcd"}}));
    // Not a start, all of it, nothing, a cut outside a value or in a code.
    for (const char* held : {"Passwort", "Password123!", "Password123!!", ""}) {
        EXPECT_EQ(startsKept("${acme.password}", values, held), Starts{}) << held;
    }
    EXPECT_EQ(startsKept("${acme.user}: ${acme.password}", values, "alice:"), Starts{});
    EXPECT_EQ(startsKept("${acme.user}${acme.password}", values, "alice"), Starts{});
    EXPECT_EQ(startsKept("${acme.otp}", values, "2870"), Starts{});
    // Fewer than 4 characters, as held: ordinary words hold as much.
    for (const char* held : {"P", "pa", "Pas"}) {
        EXPECT_EQ(startsKept("${acme.password}", values, held), Starts{}) << held;
    }
    EXPECT_EQ(startsKept("${NOTE}", values, "abc"), Starts{});

    // The latest of each value are kept, each once: one value's starts never
    // push out another's.
    KeptStarts kept;
    EXPECT_TRUE(kept.add({"A", "abcd"}));
    EXPECT_FALSE(kept.add({"A", "abcd"}));
    for (std::size_t i = 0; i <= KeptStarts::keptOfAValue; ++i) kept.add({"B", std::to_string(i)});
    EXPECT_EQ(kept.all().size(), KeptStarts::keptOfAValue + 1);
    EXPECT_EQ(kept.all().front(), (KeptStart{"A", "abcd"}));
    EXPECT_EQ(kept.all()[1], (KeptStart{"B", "1"}));
}
