#include "BrowserCore/Errors/BrowserError.h"

#include <gtest/gtest.h>

using vesk::BrowserError;
using Failure = BrowserError::ElementFailure;

TEST(BrowserError, DescribesEachCaseInItsOwnWords) {
    const std::pair<BrowserError, const char*> cases[] = {
        {BrowserError::consoleErrors(1), "The page logged 1 console error since the flow began; the console tool reads them"},
        {BrowserError::consoleErrors(0), "The page logged 0 console errors since the flow began; the console tool reads them"},
        {BrowserError::credentialNotAvailable("BANK.password"),
         "No credential BANK is available in this profile, so ${BANK.password} was not typed and nothing else was."},
        {BrowserError::credentialWithoutOTPKey("BANK.otp"),
         "The credential BANK has no 2FA key, so ${BANK.otp} has no code and nothing was typed."},
        {BrowserError::credentialOfAnotherSite("BANK.user", {"bank.com", "localhost:80"}, "evil.com"),
         "The credential BANK belongs to bank.com, localhost:80 and this window is on evil.com, so ${BANK.user} was not "
         "typed and nothing else was. A credential is typed only on its own site and that site's subdomains."},
        {BrowserError::variableOfAnotherSite("CITY", {}, ""),
         "The variable ${CITY} belongs to  and this window is on a page without a site of its own, so nothing was "
         "typed. A variable is typed only on its own site and that site's subdomains."},
        {BrowserError::requestStatus("POST /api", "500", "2xx"), "The request POST /api got 500, not 2xx"},
        {BrowserError::unreadAfterAction("fill", "Script error: the page went away."),
         "The fill was carried out, but the page could not be read after it (Script error: the page went away). Take "
         "a snapshot to see the page before doing the fill again."},
        // The element case is the page agent's message alone, whatever the code.
        {BrowserError::element(Failure::obscured, "e4 is covered by a dialog"), "e4 is covered by a dialog"},
    };
    for (const auto& [error, text] : cases) {
        EXPECT_EQ(error.description(), text);
        EXPECT_STREQ(error.what(), text);
    }
}

TEST(BrowserError, EqualityComparesCaseAndEveryValue) {
    EXPECT_EQ(BrowserError::requestStatus("GET /a", "404", "2xx"), BrowserError::requestStatus("GET /a", "404", "2xx"));
    EXPECT_NE(BrowserError::requestStatus("GET /a", "404", "2xx"), BrowserError::requestStatus("GET /a", "404", "201"));
    EXPECT_NE(BrowserError::element(Failure::disabled, "m"), BrowserError::element(Failure::notFound, "m"));
    EXPECT_NE(BrowserError::script("x"), BrowserError::navigationFailed("x"));
    EXPECT_NE(BrowserError::variableOfAnotherSite("A", {"a.com", "b.com"}, "c.com"),
              BrowserError::variableOfAnotherSite("A", {"b.com", "a.com"}, "c.com"));
}

TEST(BrowserError, ElementFailureCodesGoBothWaysAndMatchExactly) {
    for (Failure failure : {Failure::notFound, Failure::disabled, Failure::notVisible, Failure::obscured,
                            Failure::wrongType, Failure::noOption}) {
        EXPECT_EQ(BrowserError::elementFailureFromRaw(BrowserError::toRaw(failure)), failure);
    }
    EXPECT_EQ(BrowserError::toRaw(Failure::notVisible), "not_visible");
    for (const char* other : {"", "Not_found", "not_found "}) EXPECT_EQ(BrowserError::elementFailureFromRaw(other), std::nullopt);
}
