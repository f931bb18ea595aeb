#include "Platform/LocaleNumber.h"

#include <gtest/gtest.h>

using namespace vesk;

TEST(LocaleNumber, ReadsAndWritesInTheGivenLocale) {
    struct Case {
        const char* locale;
        const char* typed;
        std::optional<double> read;
    };
    const Case cases[] = {
        {"C", "250", 250},          {"C", " 0.25\t", 0.25},   {"C", "1,5", std::nullopt},
        {"de_DE.UTF-8", "1,5", 1.5}, {"de_DE.UTF-8", "", std::nullopt}, {"en_US.UTF-8", "1,200", 1200},
        {"C", "12abc", std::nullopt}, {"C", "abc", std::nullopt}, {"C", "-3", -3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseLocaleNumber(c.typed, c.locale), c.read) << c.locale << " " << c.typed;
    }
    EXPECT_EQ(formatLocaleNumber(0.25, "de_DE.UTF-8"), "0,2");
    EXPECT_EQ(formatLocaleNumber(1.5, "de_DE.UTF-8"), "1,5");
    EXPECT_EQ(formatLocaleNumber(300.00000000000006, "C"), "300");
    EXPECT_EQ(formatLocaleNumber(3600, "en_US.UTF-8"), "3,600");
}
