#include "BrowserCore/Secrets/TypedIntoFields.h"

#include <gtest/gtest.h>

using namespace vesk;

TEST(TypedIntoFields, ShowsTheTextAsWrittenWhileTheFieldHoldsAStartOfWhatWasTyped) {
    TypedIntoFields fields;
    fields.remember("e3", "${acme.password}", "Tr0ub4dor&3");
    fields.remember("e4", "${NOTE}", "two\r\nlines  apart");
    for (const char* start : {"Tr0ub4", "T", "Tr0ub4dor&3", "Tr0ub\u2026"}) {
        EXPECT_EQ(fields.shown("e3", start), "${acme.password}") << start;
    }
    EXPECT_EQ(fields.shown("e4", "twolines  ap"), "${NOTE}");
    EXPECT_EQ(fields.shown("e4", "two lines apart"), "${NOTE}");
    for (const char* other : {"", "r0ub4", "Tr0ub4dor&3!", "tr0ub4"}) EXPECT_FALSE(fields.shown("e3", other)) << other;
    EXPECT_FALSE(fields.shown("e5", "Tr0ub4"));

    // Typing again into a field replaces what it holds; old fields give way.
    fields.remember("e3", "plain", "plain");
    EXPECT_FALSE(fields.shown("e3", "Tr0ub4"));
    for (std::size_t i = 0; i < TypedIntoFields::kept; ++i) fields.remember("f" + std::to_string(i), "w", "t");
    EXPECT_FALSE(fields.shown("e4", "two"));
    EXPECT_EQ(fields.shown("f0", "t"), "w");
}
