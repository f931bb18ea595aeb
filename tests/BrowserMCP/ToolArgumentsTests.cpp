#include "BrowserMCP/ToolArguments.h"

#include "BrowserMCP/ToolError.h"

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include <cmath>

using namespace vesk;

TEST(ToolArguments, StringsAndNumbersOfTheWrongTypeCountAsAbsent) {
    Json arguments = Json::parse(R"({"url":"","n":3.5,"yes":true,"no":false,"text":5,"list":[1]})");
    EXPECT_EQ(stringArgument("url", arguments), "");
    EXPECT_FALSE(stringArgument("text", arguments));
    EXPECT_FALSE(stringArgument("missing", arguments));
    EXPECT_FALSE(stringArgument("url", Json::array()));

    EXPECT_EQ(numberArgument("n", arguments), 3.5);
    EXPECT_EQ(numberArgument("yes", arguments), 1.0);
    EXPECT_EQ(numberArgument("no", arguments), 0.0);
    EXPECT_FALSE(numberArgument("url", arguments));
    EXPECT_FALSE(numberArgument("list", arguments));
}

TEST(ToolArguments, ARequiredStringNamesWhatIsMissing) {
    EXPECT_EQ(requiredString("url", Json{{"url", "https://a"}}), "https://a");
    try {
        requiredString("url", Json{{"url", 1}});
        FAIL() << "no error";
    } catch (const ToolError& error) {
        EXPECT_EQ(error.kind(), ToolError::Kind::missingArgument);
        EXPECT_STREQ(error.what(), "Missing required argument: url");
    }
}

TEST(ToolArguments, AFlagIsTrueOnlyForTrueOrOne) {
    Json arguments = Json::parse(R"({"a":true,"b":1,"c":1.0,"d":"true","e":0,"f":2,"g":false,"h":null})");
    for (const char* name : {"a", "b", "c"}) EXPECT_TRUE(flagArgument(name, arguments)) << name;
    for (const char* name : {"d", "e", "f", "g", "h", "absent"}) EXPECT_FALSE(flagArgument(name, arguments)) << name;
}

TEST(ToolArguments, VariablesKeepOnlyStringValues) {
    Json arguments = Json::parse(R"({"variables":{"A":"x","B":2,"C":null,"D":""},"other":"A=x"})");
    EXPECT_EQ(variablesArgument("variables", arguments), (std::map<std::string, std::string>{{"A", "x"}, {"D", ""}}));
    EXPECT_TRUE(variablesArgument("other", arguments).empty());
    EXPECT_TRUE(variablesArgument("absent", arguments).empty());
}

TEST(ToolArguments, WholeNumbersAreExactAndInRange) {
    EXPECT_EQ(wholeNumber(3.0), 3);
    EXPECT_EQ(wholeNumber(-1.0), -1);
    EXPECT_EQ(wholeNumber(-9223372036854775808.0), INT64_MIN);
    EXPECT_FALSE(wholeNumber(2.5));
    EXPECT_FALSE(wholeNumber(9223372036854775808.0));
    EXPECT_FALSE(wholeNumber(1e300));
    EXPECT_FALSE(wholeNumber(std::nan("")));
    EXPECT_FALSE(wholeNumber(INFINITY));
}

TEST(ToolArguments, TextItem) {
    EXPECT_EQ(textItem("hi").dump(), R"({"type":"text","text":"hi"})");
}

TEST(ToolError, TextsTheAgentReads) {
    EXPECT_STREQ(ToolError::unknownTool("Click").what(), "Unknown tool: Click");
    EXPECT_STREQ(ToolError::oneOf({"text", "selector", "request", "url", "console_errors"}).what(),
                 "Give exactly one of text, selector, request, url, console_errors");
    EXPECT_STREQ(ToolError::invalidFlow("no steps").what(), "The flow is not valid JSON for a flow: no steps");
    EXPECT_STREQ(ToolError::unknownFlow("checkout").what(),
                 "No saved flow is named \"checkout\". Call list_flows to see the saved ones.");
    EXPECT_STREQ(ToolError::unknownProfile("bob").what(),
                 "No profile is named \"bob\". Call list_profiles to see them, or pass create: true to make it.");
    EXPECT_STREQ(ToolError::noSuchStep("from", 5).what(),
                 "from must be a step number from 1 to 5, as the report numbers the flow's steps.");
    EXPECT_STREQ(ToolError::notRecording().what(), "Nothing is being recorded. Call record_start first.");
    EXPECT_STREQ(ToolError::invalidIndex().what(), "index must be a whole number from 0.");
}

TEST(ToolError, TookTooLongWritesTheLimitInMinutesAndSeconds) {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale::getUS(), status);
    EXPECT_EQ(formatLimit(seconds(60)), "1 minute");
    EXPECT_EQ(formatLimit(seconds(70)), "1 minute, 10 seconds");
    EXPECT_EQ(formatLimit(seconds(1.4)), "1 second");
    EXPECT_EQ(formatLimit(seconds(360)), "6 minutes");

    EXPECT_STREQ(ToolError::tookTooLong("click", seconds(60), "the page to answer", true).what(),
                 "click did not return within 1 minute: it was waiting for the page to answer. It was given up on, but "
                 "the action may still reach the page later; take a snapshot to see where it is before trying it again.");
    EXPECT_STREQ(ToolError::tookTooLong("snapshot", seconds(70), "the page to settle", false).what(),
                 "snapshot did not return within 1 minute, 10 seconds: it was waiting for the page to settle. It was "
                 "given up on and the page may still be busy; take a snapshot to see where it is.");
}
