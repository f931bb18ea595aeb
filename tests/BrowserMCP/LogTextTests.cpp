#include "BrowserMCP/PageRendering.h"
#include "RenderingSupport.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test::rendering;
namespace R = vesk::PageRendering;

TEST(ConsoleText, ListsMessagesAndSaysHowManyWereDropped) {
    EXPECT_EQ(R::console({}, 0), "Nothing new in the console.");
    EXPECT_EQ(R::console({}, 5), "Nothing new in the console.");
    const std::vector<ConsoleMessage> messages = {
        {ConsoleMessage::Level::log, "hi \"you\"", std::nullopt},
        {ConsoleMessage::Level::error, "Uncaught x\nat y", "popup1"},
        {ConsoleMessage::Level::warn, std::string(301, 'w'), "main"}};
    const std::vector<std::string> lines = {"log \"hi \\\"you\\\"\"", "popup1 error \"Uncaught x at y\"",
                                            "main warn \"" + std::string(299, 'w') + "…\""};
    EXPECT_EQ(R::console(messages, 0), "Console:\n" + wrapped(lines));
    EXPECT_EQ(R::console(messages, 7),
              "Console (the last 3 messages; 7 older ones were not kept):\n" + wrapped(lines));
}

TEST(NetworkText, ListsRequestsWithTheirOutcome) {
    EXPECT_EQ(R::network({}, 0, false), "No new requests.");
    EXPECT_EQ(R::network({}, 3, true), "No new failed requests.");
    const std::vector<NetworkRequest> requests = {
        {"GET", "https://a.example/x", 200, std::nullopt, 5, std::nullopt},
        {"POST", "https://a.example/y", std::nullopt, "aborted", 17, "popup2"},
        {"get", "https://a.example/" + std::string(290, 'z'), std::nullopt, std::nullopt, 0, std::nullopt}};
    const std::vector<std::string> lines = {
        "GET \"https://a.example/x\" 200 5 ms", "popup2 POST \"https://a.example/y\" aborted 17 ms",
        "get \"https://a.example/" + std::string(281, 'z') + "…\" network error 0 ms"};
    EXPECT_EQ(R::network(requests, 0, false), "Requests:\n" + wrapped(lines));
    EXPECT_EQ(R::network(requests, 4, true), "Failed requests (4 older requests were not kept):\n" + wrapped(lines));
}

TEST(EvaluateText, QuotesTheResultAndNotesWhatWasLeftOut) {
    EXPECT_EQ(R::evaluateResult("{\"a\":1}\nx", 9), wrapped({"| {\"a\":1}", "| x"}));
    const std::string whole(20000, 'r');
    EXPECT_EQ(R::evaluateResult(whole, 20000), wrapped({"| " + whole}));
    EXPECT_EQ(R::evaluateResult(whole + "s", 20001),
              wrapped({"| " + whole,
                       "Result (20000 of 20001 characters; 1 left out at the end: have the script return less)"}));
    // The caller's count rules, also when the text was already cut.
    EXPECT_EQ(R::evaluateResult(whole, 50000),
              wrapped({"| " + whole,
                       "Result (20000 of 50000 characters; 30000 left out at the end: have the script return less)"}));
}

TEST(WindowContext, ListsTheOpenWindowsAndMarksTheActiveOne) {
    using W = BrowserSession::Window;
    EXPECT_EQ(R::windowContext({W{"main", "https://a.example/", true}}, false), std::nullopt);
    EXPECT_EQ(R::windowContext({W{"main", "https://a.example/", true}}, true),
              "This happened in the main page: the separate window it had opened is closed, and commands act on "
              "the main page.");
    EXPECT_EQ(R::windowContext({W{"main", "https://a.example/", false}, W{"popup1", "about:blank", false}}, false),
              std::nullopt);

    const std::vector<W> windows = {W{"main", "https://a.example/shop?q=1", false},
                                    W{"popup1", "https://pay.example/checkout", true}};
    const std::vector<std::string> lines = {"  main https://a.example/shop…",
                                            "* popup1 https://pay.example/checkout"};
    EXPECT_EQ(R::windowContext(windows, false),
              "This happened in popup1, a separate window the page opened. Commands act on the window marked *; "
              "the window tool switches to another or closes one.\n" + wrapped(lines));

    const std::vector<W> onMain = {W{"main", "https://a.example/", true}, W{"popup1", "https://pay.example", false}};
    EXPECT_EQ(R::windowContext(onMain, true),
              "This happened in the main page, not in a window it opened. Commands act on the window marked *; "
              "the window tool switches to another or closes one.\n" +
                  wrapped({"* main https://a.example/", "  popup1 https://pay.example"}));
}
