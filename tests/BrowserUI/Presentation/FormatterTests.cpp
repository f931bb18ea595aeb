#include "BrowserUI/Presentation/Formatters.h"
#include "BrowserUI/Presentation/Localized.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using namespace vesk;
using namespace vesk::ui;

namespace {

void expectFormats() {
    const std::pair<double, const char*> minutes[] = {
        {0, "0:00"}, {59.9, "0:59"}, {61, "1:01"}, {75 * 60 + 3, "75:03"}, {3600, "60:00"}, {-5, "0:00"}, {-0.5, "0:00"}};
    for (auto [value, text] : minutes) EXPECT_EQ(formatMinutesSeconds(seconds(value)), text) << value;

    const std::pair<double, const char*> short_[] = {
        {0, "0 ms"},        {0.2344, "234 ms"}, {0.0005, "1 ms"},   {0.9996, "1000 ms"},
        {1.0, "1.0 s"},     {1.5, "1.5 s"},     {12.34, "12.3 s"},  {-0.2, "-200 ms"},
        {1234.56, "1234.6 s"}};
    for (auto [value, text] : short_) EXPECT_EQ(formatShortDuration(value), text) << value;

    // Without a catalog entry the key itself is filled in, plural or not.
    EXPECT_EQ(formatStepCount(3), "3 steps");
    EXPECT_EQ(formatStepCount(1), "1 steps");
    EXPECT_EQ(formatStepCount(1234567), "1234567 steps");
}

} // namespace

TEST(Formatters, WriteCountsAndDurationsWithoutTheLocale) {
    expectFormats();
}

TEST(Formatters, AGermanLocaleStillWritesAPoint) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
    EXPECT_STREQ(buffer, "1,5") << "the locale is not in effect";
    expectFormats();
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(Localized, FillsPlaceholdersInOrder) {
    EXPECT_EQ(fillPlaceholders("step %lld failed · %@", {"3", "0:42"}), "step 3 failed · 0:42");
    EXPECT_EQ(fillPlaceholders("%@%@ and %", {"a"}), "a and %");
    EXPECT_EQ(fillPlaceholders("no holes", {"x"}), "no holes");
    // A value is put in as it is, never read as a placeholder itself.
    EXPECT_EQ(fillPlaceholders("profile %@ · %@", {"%@", "b"}), "profile %@ · b");
}
