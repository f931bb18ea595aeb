#include "Platform/Text.h"

#include <gtest/gtest.h>

using namespace vesk::text;

TEST(Text, CountsAndCutsUserPerceivedCharacters) {
    // A flag is two code points, "é" written as e + combining acute is two.
    std::string text = "a\U0001F1EB\U0001F1F7e\u0301b";
    EXPECT_EQ(characterCount(text), 4u);
    EXPECT_EQ(prefix(text, 2), "a\U0001F1EB\U0001F1F7");
    EXPECT_EQ(prefix(text, 3), "a\U0001F1EB\U0001F1F7e\u0301");
    EXPECT_EQ(prefix(text, 10), text);
    EXPECT_EQ(prefix("", 3), "");
}

TEST(Text, RepairsInvalidUtf8) {
    EXPECT_EQ(validUtf8("ok\xff!"), "ok\uFFFD!");
    EXPECT_EQ(validUtf8("caf\xc3"), "caf\uFFFD");
    EXPECT_EQ(validUtf8("café"), "café");
}

TEST(Text, SearchIgnoresCaseAndDiacritics) {
    EXPECT_TRUE(containsFolded("Le Café du Coin", "cafe"));
    EXPECT_TRUE(containsFolded("STRASSE", "straße"));
    EXPECT_FALSE(containsFolded("Cafe", "thé"));
}

TEST(Text, ReplacesEveryOccurrenceButNotWhatTheReplacementBrings) {
    EXPECT_EQ(replacedAll("${A}/${A}", "${A}", "${A}${A}"), "${A}${A}/${A}${A}");
    EXPECT_EQ(replacedAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replacedAll("none here", "${A}", "x"), "none here");
}
