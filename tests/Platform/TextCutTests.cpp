#include "Platform/Text.h"

#include <gtest/gtest.h>

using namespace vesk::text;

TEST(TextCut, CutsToExactlyTheCountWithAnEllipsis) {
    EXPECT_EQ(cut("abcdef", 4), "abc…");
    EXPECT_EQ(cut("abcd", 4), "abcd");
    EXPECT_EQ(cut("abcde", 1), "…");
    // A flag and a decomposed "é" are one character each, never split.
    std::string text = "\U0001F1EB\U0001F1F7e\u0301xyz";
    EXPECT_EQ(cut(text, 3), "\U0001F1EB\U0001F1F7e\u0301…");
    EXPECT_EQ(cut(text, 5), text);
    // Short in characters but long in bytes: stays whole.
    EXPECT_EQ(cut("ééé", 3), "ééé");
}

TEST(TextCut, TakesTheLastCharacters) {
    EXPECT_EQ(suffix("abcdef", 2), "ef");
    EXPECT_EQ(suffix("ab", 5), "ab");
    EXPECT_EQ(suffix("xe\u0301", 1), "e\u0301");
}

TEST(TextCut, SplitsAtEveryLineBreakCharacter) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(splitLines(""), Lines{""});
    EXPECT_EQ(splitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\vb\fc\u0085d\u2028e\u2029f"), (Lines{"a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(splitLines("a\n\nb\n"), (Lines{"a", "", "b", ""}));
    EXPECT_EQ(splitLines("\n\r"), (Lines{"", "", ""}));
}

TEST(TextCut, ComposesCanonically) {
    EXPECT_EQ(canonical("Cafe\u0301"), "Caf\u00e9");
    EXPECT_EQ(canonical("plain"), "plain");
}
