// The pure parts of the request wait: the wanted status class, the request
// text, which ended requests count and what a wrong answer reports; and the
// replacement of known references in a wait's text.

#include "BrowserCore/Errors/BrowserError.h"
#include "BrowserCore/Secrets/KnownReferences.h"
#include "BrowserCore/Session/RequestPattern.h"
#include "BrowserCore/Session/StatusClass.h"

#include <gtest/gtest.h>

using namespace vesk;

namespace {

NetworkRequest ended(std::string method, std::string url, std::optional<int> status,
                     std::optional<std::string> error = std::nullopt) {
    NetworkRequest request;
    request.method = std::move(method);
    request.url = std::move(url);
    request.status = status;
    request.error = std::move(error);
    return request;
}

std::string invalidStatusOf(std::string_view text) {
    try {
        StatusClass::parse(text);
    } catch (const BrowserError& error) {
        EXPECT_EQ(error.kind(), BrowserError::Kind::invalidStatus);
        return error.detail();
    }
    ADD_FAILURE() << text << " was taken as a status class";
    return {};
}

RequestCheck look(const std::deque<NetworkRequest>& recent, std::string_view request, std::string_view status = "2xx",
                  std::int64_t mark = 0) {
    return checkRequests(recent, static_cast<std::int64_t>(recent.size()), mark, RequestPattern::parse(request),
                         StatusClass::parse(status));
}

} // namespace

TEST(StatusClass, TakesTheFourClassesInEitherCaseAndNothingElse) {
    EXPECT_EQ(StatusClass::parse("2xx").digit, 2);
    auto upper = StatusClass::parse("4XX");
    EXPECT_EQ(upper.pattern, "4xx");
    EXPECT_EQ(upper.digit, 4);
    EXPECT_EQ(StatusClass::parse("5xX").pattern, "5xx");
    EXPECT_TRUE(StatusClass::parse("3xx").admits(304));
    EXPECT_FALSE(StatusClass::parse("2xx").admits(199));
    EXPECT_FALSE(StatusClass::parse("2xx").admits(300));

    EXPECT_EQ(invalidStatusOf("200"), "200");
    EXPECT_EQ(invalidStatusOf("1xx"), "1xx");
    EXPECT_EQ(invalidStatusOf("6XX"), "6xx");
    EXPECT_EQ(invalidStatusOf("2x"), "2x");
    EXPECT_EQ(invalidStatusOf(" 2xx"), " 2xx");
    EXPECT_EQ(invalidStatusOf(""), "");
    EXPECT_EQ(invalidStatusOf("NETWORK ERROR"), "network error");
    EXPECT_EQ(invalidStatusOf("2ХХ"), "2хх") << "Cyrillic letters are lower-cased too, and are no x";
}

TEST(RequestPattern, AMethodIsAWordOfLettersBeforeTheURLPart) {
    auto get = RequestPattern::parse("get /api");
    EXPECT_EQ(get.method, "GET");
    EXPECT_EQ(get.urlPart, "/api");

    auto spaced = RequestPattern::parse("  POST   /api/items?q=a b");
    EXPECT_EQ(spaced.method, "POST");
    EXPECT_EQ(spaced.urlPart, "/api/items?q=a b");

    auto pathFirst = RequestPattern::parse("/api GET");
    EXPECT_EQ(pathFirst.method, std::nullopt);
    EXPECT_EQ(pathFirst.urlPart, "/api GET");

    auto digits = RequestPattern::parse("v2 /api");
    EXPECT_EQ(digits.method, std::nullopt);
    EXPECT_EQ(digits.urlPart, "v2 /api");

    auto word = RequestPattern::parse("GET ");
    EXPECT_EQ(word.method, std::nullopt);
    EXPECT_EQ(word.urlPart, "GET ");

    EXPECT_EQ(RequestPattern::parse("/api").method, std::nullopt);
}

TEST(RequestPattern, MatchesTheMethodInAnyCaseAndTheURLPartExactly) {
    auto get = RequestPattern::parse("GET /api");
    EXPECT_TRUE(get.matches(ended("GET", "http://h/api/items", 200)));
    EXPECT_TRUE(get.matches(ended("get", "http://h/api", 200)));
    EXPECT_FALSE(get.matches(ended("POST", "http://h/api", 200)));
    EXPECT_FALSE(get.matches(ended("GET", "http://h/API", 200)));
    EXPECT_TRUE(RequestPattern::parse("get /api").matches(ended("GET", "http://h/api", 200)));

    auto noMethod = RequestPattern::parse("/api GET");
    EXPECT_FALSE(noMethod.matches(ended("GET", "http://h/api", 200)));
    EXPECT_TRUE(noMethod.matches(ended("GET", "http://h/api GET", 200)));
}

TEST(RequestCheck, CountsOnlyTheRequestsThatEndedSinceTheMark) {
    std::deque<NetworkRequest> recent{ended("GET", "/api/old", 200), ended("GET", "/api/new", 500)};
    // Two ended in all; the mark was taken after the first.
    EXPECT_EQ(look(recent, "/api/old", "2xx", 1).outcome, RequestCheck::Outcome::noMatch);
    EXPECT_EQ(look(recent, "/api/new", "5xx", 1).outcome, RequestCheck::Outcome::answered);
    EXPECT_EQ(look(recent, "/api/old", "2xx", 0).outcome, RequestCheck::Outcome::answered);
    EXPECT_EQ(look(recent, "/api", "2xx", 2).outcome, RequestCheck::Outcome::noMatch);

    // More ended since the mark than the recorder still holds: all of it counts.
    auto check = checkRequests(recent, 500, 10, RequestPattern::parse("/api/old"), StatusClass::parse("2xx"));
    EXPECT_EQ(check.outcome, RequestCheck::Outcome::answered);
}

TEST(RequestCheck, AnyMatchOfTheClassAnswersElseTheLastMatchTellsWhatItGot) {
    std::deque<NetworkRequest> mixed{ended("GET", "/api", 500), ended("GET", "/api", 200)};
    EXPECT_EQ(look(mixed, "/api").outcome, RequestCheck::Outcome::answered);

    std::deque<NetworkRequest> failing{ended("GET", "/api", 503), ended("POST", "/api", 404),
                                       ended("GET", "/other", 200)};
    auto check = look(failing, "/api");
    EXPECT_EQ(check.outcome, RequestCheck::Outcome::wrongStatus);
    EXPECT_EQ(check.got, "404");
    EXPECT_EQ(look(failing, "GET /api").got, "503");

    std::deque<NetworkRequest> noAnswer{ended("GET", "/api", std::nullopt, "timed out")};
    EXPECT_EQ(look(noAnswer, "/api").got, "timed out");
    std::deque<NetworkRequest> bare{ended("GET", "/api", std::nullopt)};
    EXPECT_EQ(look(bare, "/api").got, "network error");
    std::deque<NetworkRequest> emptyError{ended("GET", "/api", std::nullopt, "")};
    EXPECT_EQ(look(emptyError, "/api").got, "network error");
}

TEST(KnownReferences, ReplacesOnlyTheNamesTheSiteKnows) {
    std::map<std::string, std::string> values{{"ORDER", "A-17"}, {"bank.user", "ann"}};
    EXPECT_EQ(replacingKnownReferences("/orders/${ORDER}?again=${ORDER}", values), "/orders/A-17?again=A-17");
    EXPECT_EQ(replacingKnownReferences("u=${bank.user}&p=${bank.password}&x=${OTHER}", values),
              "u=ann&p=${bank.password}&x=${OTHER}");
    EXPECT_EQ(replacingKnownReferences("${order} $ORDER {ORDER}", values), "${order} $ORDER {ORDER}");
    EXPECT_EQ(replacingKnownReferences("", values), "");
}
