#include "BrowserCore/Secrets/SiteValues.h"

#include <gtest/gtest.h>

using namespace vesk;

namespace {

using Table = std::map<std::string, std::map<std::string, std::string>>;
using TOTPKeys = std::map<std::string, std::map<std::string, TOTP>>;
using Values = std::map<std::string, std::string>;

const auto at59 = std::chrono::system_clock::time_point(std::chrono::seconds(59));

TOTP rfcTotp() { return *TOTP::parse("GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"); }

} // namespace

TEST(SiteValues, ReachSubdomainsButNoLookalikeOrDeeperSite) {
    Table table{{"example.com", {{"USER", "ann"}}}, {"shop.example.com", {{"USER", "shop-ann"}, {"CARD", "4111"}}}};
    EXPECT_EQ(valuesForSite("example.com", table, {}, at59), (Values{{"USER", "ann"}}));
    EXPECT_EQ(valuesForSite("a.b.example.com", table, {}, at59), (Values{{"USER", "ann"}}));
    // The most specific site wins, and its parents fill in the rest.
    EXPECT_EQ(valuesForSite("eu.shop.example.com", table, {}, at59),
              (Values{{"USER", "shop-ann"}, {"CARD", "4111"}}));
    EXPECT_TRUE(valuesForSite("badexample.com", table, {}, at59).empty());
    EXPECT_TRUE(valuesForSite("example.com.evil.org", table, {}, at59).empty());
    EXPECT_TRUE(valuesForSite("com", table, {}, at59).empty());
}

TEST(SiteValues, KeepPortsApart) {
    Table table{{"localhost:8080", {{"TOKEN", "a"}}}, {"localhost:9090", {{"TOKEN", "b"}}},
                {"example.com", {{"TOKEN", "c"}}}};
    EXPECT_EQ(valuesForSite("localhost:8080", table, {}, at59), (Values{{"TOKEN", "a"}}));
    EXPECT_EQ(valuesForSite("api.localhost:9090", table, {}, at59), (Values{{"TOKEN", "b"}}));
    EXPECT_TRUE(valuesForSite("localhost:7070", table, {}, at59).empty());
    EXPECT_TRUE(valuesForSite("example.com:8443", table, {}, at59).empty());
}

TEST(SiteValues, HoldTheCurrentCodeWhichWinsOverAVariableOfTheSameName) {
    Table table{{"bank.com", {{"BANK.user", "ann"}, {"BANK.otp", "stale"}}}, {"other.com", {{"X", "1"}}}};
    TOTPKeys keys{{"bank.com", {{"BANK", rfcTotp()}}}, {"login.bank.com", {{"SSO", rfcTotp()}}}};
    EXPECT_EQ(valuesForSite("www.bank.com", table, keys, at59),
              (Values{{"BANK.user", "ann"}, {"BANK.otp", "287082"}}));
    // A site with keys and no variables still gets its codes.
    EXPECT_EQ(valuesForSite("login.bank.com", table, keys, at59),
              (Values{{"BANK.user", "ann"}, {"BANK.otp", "287082"}, {"SSO.otp", "287082"}}));
    EXPECT_EQ(valuesForSite("other.com", table, keys, at59), (Values{{"X", "1"}}));
}
