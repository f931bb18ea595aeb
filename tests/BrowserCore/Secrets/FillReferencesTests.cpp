#include "BrowserCore/Errors/BrowserError.h"
#include "BrowserCore/Secrets/FillReferences.h"

#include <gtest/gtest.h>

using namespace vesk;

namespace {

using Table = std::map<std::string, std::map<std::string, std::string>>;
using TOTPKeys = std::map<std::string, std::map<std::string, TOTP>>;
using Values = std::map<std::string, std::string>;

const Table variables{
    {"shop.com", {{"EMAIL", "ann@shop.com"}, {"SHOP.user", "ann"}, {"SHOP.password", "pw1"}}},
    {"bank.com", {{"EMAIL", "ann@bank.com"}, {"BANK.user", "ann"}, {"BANK.password", "pw2"}, {"PIN", "1234"}}},
    {"mail.com", {{"PIN", "9999"}}},
};
const TOTPKeys keys{{"bank.com", {{"BANK", *TOTP::parse("JBSWY3DPEHPK3PXP")}}}};

BrowserError failure(std::string_view text, const Values& values, std::optional<std::string> here) {
    try {
        substitutedReferences(text, values, variables, keys, here);
    } catch (const BrowserError& error) {
        return error;
    }
    ADD_FAILURE() << "no error for " << text;
    return BrowserError::noPage();
}

} // namespace

TEST(FillReferences, SubstitutesTheSiteValuesInOnePass) {
    Values shop{{"EMAIL", "ann@shop.com"}, {"SHOP.user", "ann"}, {"SHOP.password", "pw1"}};
    EXPECT_EQ(substitutedReferences("${SHOP.user}:${SHOP.password} ${EMAIL}${EMAIL}", shop, variables, keys, "shop.com"),
              "ann:pw1 ann@shop.comann@shop.com");
    EXPECT_EQ(substitutedReferences("no references", shop, variables, keys, "shop.com"), "no references");
    EXPECT_EQ(substitutedReferences("cost $5 ${ not a reference }", shop, variables, keys, "shop.com"),
              "cost $5 ${ not a reference }");
    // A value is typed as it is, even when it holds a reference.
    Values chained{{"A", "<${B}>"}, {"B", "b"}};
    EXPECT_EQ(substitutedReferences("${A}${B}", chained, {}, {}, "x.com"), "<${B}>b");
}

TEST(FillReferences, RefusesValuesOfOtherSitesBeforeTypingAnything) {
    Values shop{{"EMAIL", "ann@shop.com"}};
    auto error = failure("${EMAIL} ${PIN}", shop, "shop.com");
    EXPECT_EQ(error, BrowserError::variableOfAnotherSite("PIN", {"bank.com", "mail.com"}, "shop.com"));
    EXPECT_EQ(error.description(),
              "The variable ${PIN} belongs to bank.com, mail.com and this window is on shop.com, so nothing was "
              "typed. A variable is typed only on its own site and that site's subdomains.");

    EXPECT_EQ(failure("${BANK.password}", shop, "shop.com"),
              BrowserError::credentialOfAnotherSite("BANK.password", {"bank.com"}, "shop.com"));
    // A code is of the sites that hold the credential's key.
    EXPECT_EQ(failure("${BANK.otp}", shop, std::nullopt),
              BrowserError::credentialOfAnotherSite("BANK.otp", {"bank.com"}, ""));
}

TEST(FillReferences, NamesCredentialFieldsThatDoNotExist) {
    Values shop{{"SHOP.user", "ann"}, {"SHOP.password", "pw1"}};
    EXPECT_EQ(failure("${SHOP.otp}", shop, "shop.com"), BrowserError::credentialWithoutOTPKey("SHOP.otp"));
    EXPECT_EQ(failure("${GHOST.password}", shop, "shop.com"), BrowserError::credentialNotAvailable("GHOST.password"));
    EXPECT_EQ(failure("${GHOST.otp}", shop, "shop.com"), BrowserError::credentialNotAvailable("GHOST.otp"));
    EXPECT_EQ(failure("${SHOP.pin}", shop, "shop.com"), BrowserError::credentialNotAvailable("SHOP.pin"));
    // A name no site has is refused, never typed as text.
    auto unknown = failure("cost ${NOWHERE} $5", shop, "shop.com");
    EXPECT_EQ(unknown, BrowserError::variableNotAvailable("NOWHERE", "shop.com"));
    EXPECT_EQ(failure("${NOWHERE}", shop, std::nullopt).description(),
              "No variable NOWHERE is available to a page without a site of its own, so ${NOWHERE} was not typed "
              "and nothing else was. Check the name, or type the text without the reference.");
}

TEST(FillReferences, SaysWhenTheKeychainCouldNotGiveAValue) {
    const Table unreadable{{"shop.com", {{"SHOP.password", "the keychain is locked"}, {"CODE", "locked"}}}};
    Values shop{{"SHOP.user", "ann"}};
    auto fill = [&](std::string_view text, std::optional<std::string> here) -> std::optional<BrowserError> {
        try {
            substitutedReferences(text, shop, {}, {}, here, unreadable);
        } catch (const BrowserError& error) {
            return error;
        }
        return std::nullopt;
    };
    auto locked = fill("${SHOP.user} ${SHOP.password}", "www.shop.com");
    ASSERT_TRUE(locked);
    EXPECT_EQ(*locked, BrowserError::valueUnreadable("SHOP.password", "the keychain is locked"));
    EXPECT_EQ(locked->description(),
              "The keychain could not be read for ${SHOP.password} (the keychain is locked), so nothing was typed. "
              "Unlock the keychain or start the desktop's Secret Service, or save the value again in the window, "
              "then fill again.");
    EXPECT_EQ(fill("${CODE}", "www.shop.com"), BrowserError::valueUnreadable("CODE", "locked"));
    // Elsewhere the value is still one of its own site's.
    EXPECT_EQ(fill("${SHOP.password}", "bank.com"),
              BrowserError::credentialOfAnotherSite("SHOP.password", {"shop.com"}, "bank.com"));
    EXPECT_EQ(fill("${SHOP.otp}", "shop.com"), BrowserError::credentialWithoutOTPKey("SHOP.otp"));
}
