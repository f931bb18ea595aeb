#include "BrowserCore/Session/BrowserError.h"

#include <gtest/gtest.h>

using vesk::BrowserError;
using Failure = BrowserError::ElementFailure;

TEST(BrowserError, ConsoleErrorCountIsSingularOnlyForOne) {
    EXPECT_EQ(BrowserError::consoleErrors(1).description(),
              "The page logged 1 console error since the flow began; the console tool reads them");
    EXPECT_EQ(BrowserError::consoleErrors(0).description(),
              "The page logged 0 console errors since the flow began; the console tool reads them");
    EXPECT_EQ(BrowserError::consoleErrors(2).description(),
              "The page logged 2 console errors since the flow began; the console tool reads them");
}

TEST(BrowserError, CredentialMessagesNameTheBaseAndShowTheWholeReference) {
    EXPECT_EQ(BrowserError::credentialNotAvailable("BANK.password").description(),
              "No credential BANK is available in this profile, so ${BANK.password} was not typed and nothing else "
              "was.");
    EXPECT_EQ(BrowserError::credentialNotAvailable("BANK").description(),
              "No credential BANK is available in this profile, so ${BANK} was not typed and nothing else was.");
    EXPECT_EQ(BrowserError::credentialWithoutOTPKey("BANK.otp").description(),
              "The credential BANK has no 2FA key, so ${BANK.otp} has no code and nothing was typed.");
    EXPECT_EQ(BrowserError::credentialOfAnotherSite("BANK.user", {"bank.com", "localhost:80"}, "evil.com")
                  .description(),
              "The credential BANK belongs to bank.com, localhost:80 and this window is on evil.com, so "
              "${BANK.user} was not typed and nothing else was. A credential is typed only on its own site and that "
              "site's subdomains.");
}

TEST(BrowserError, AnEmptySitesListLeavesItsPlaceEmpty) {
    EXPECT_EQ(BrowserError::variableOfAnotherSite("CITY", {}, "").description(),
              "The variable ${CITY} belongs to  and this window is on , so nothing was typed. A variable is typed "
              "only on its own site and that site's subdomains.");
}

TEST(BrowserError, FixedTexts) {
    EXPECT_EQ(BrowserError::invalidURL("ht!tp").description(), "Invalid URL: ht!tp");
    EXPECT_EQ(BrowserError::navigationFailed("no route").description(), "Navigation failed: no route");
    EXPECT_EQ(BrowserError::timeout("loading the page").description(), "Timed out loading the page");
    EXPECT_EQ(BrowserError::script("scan returned nothing").description(), "Script error: scan returned nothing");
    EXPECT_EQ(BrowserError::noWindow("w9").description(),
              "No window is called w9. The open windows are listed in every result while the page has one open; "
              "the page itself is main.");
    EXPECT_EQ(BrowserError::invalidStatus("6xx").description(), "The status 6xx is not one of 2xx, 3xx, 4xx and 5xx");
    EXPECT_EQ(BrowserError::requestStatus("POST /api", "500", "2xx").description(),
              "The request POST /api got 500, not 2xx");
    EXPECT_EQ(BrowserError::noPage().description(), "No page is loaded. Navigate to a URL first.");
    // The element case is the page agent's message alone, whatever the code.
    EXPECT_EQ(BrowserError::element(Failure::obscured, "e4 is covered by a dialog").description(),
              "e4 is covered by a dialog");
    EXPECT_STREQ(BrowserError::noPage().what(), "No page is loaded. Navigate to a URL first.");
}

TEST(BrowserError, IsThrownAndCaughtAsAStandardException) {
    try {
        throw BrowserError::timeout("waiting for text");
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Timed out waiting for text");
        return;
    }
    FAIL();
}

TEST(BrowserError, EqualityComparesCaseAndEveryValue) {
    EXPECT_EQ(BrowserError::requestStatus("GET /a", "404", "2xx"), BrowserError::requestStatus("GET /a", "404", "2xx"));
    EXPECT_NE(BrowserError::requestStatus("GET /a", "404", "2xx"), BrowserError::requestStatus("GET /a", "404", "201"));
    EXPECT_NE(BrowserError::element(Failure::disabled, "m"), BrowserError::element(Failure::notFound, "m"));
    EXPECT_NE(BrowserError::script("x"), BrowserError::navigationFailed("x"));
    EXPECT_NE(BrowserError::variableOfAnotherSite("A", {"a.com", "b.com"}, "c.com"),
              BrowserError::variableOfAnotherSite("A", {"b.com", "a.com"}, "c.com"));
    EXPECT_EQ(BrowserError::element(Failure::disabled, "m").failure(), Failure::disabled);
}

TEST(BrowserError, ElementFailureCodesMatchExactly) {
    const std::pair<Failure, const char*> codes[] = {
        {Failure::notFound, "not_found"},   {Failure::disabled, "disabled"},   {Failure::notVisible, "not_visible"},
        {Failure::obscured, "obscured"},    {Failure::wrongType, "wrong_type"}, {Failure::noOption, "no_option"},
    };
    for (const auto& [failure, code] : codes) {
        EXPECT_EQ(BrowserError::toRaw(failure), code);
        EXPECT_EQ(BrowserError::elementFailureFromRaw(code), failure);
    }
    EXPECT_EQ(BrowserError::elementFailureFromRaw(""), std::nullopt);
    EXPECT_EQ(BrowserError::elementFailureFromRaw("Not_found"), std::nullopt);
    EXPECT_EQ(BrowserError::elementFailureFromRaw("NOT_FOUND"), std::nullopt);
    EXPECT_EQ(BrowserError::elementFailureFromRaw("not_found "), std::nullopt);
}
