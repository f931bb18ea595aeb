#include "BrowserCore/Recorders/ConsoleRecorder.h"
#include "BrowserCore/Recorders/NetworkRecorder.h"
#include "Platform/Text.h"

#include <gtest/gtest.h>

using namespace vesk;
using nlohmann::json;
using Level = ConsoleMessage::Level;

namespace {

// Stand-ins for web views: the labeller only compares their addresses.
int pageToken, popupToken, strangerToken;
WebKitWebView* const page = reinterpret_cast<WebKitWebView*>(&pageToken);
WebKitWebView* const popup = reinterpret_cast<WebKitWebView*>(&popupToken);
WebKitWebView* const stranger = reinterpret_cast<WebKitWebView*>(&strangerToken);

// Recorders that know the session's windows: "main" is alone while no popup is open.
struct Recorders : testing::Test {
    bool popupOpen = false;
    ConsoleRecorder console;
    NetworkRecorder network;

    void SetUp() override {
        auto labeller = [this](WebKitWebView* sender) -> std::optional<WindowLabel> {
            if (sender == page) return WindowLabel{"main", !popupOpen};
            if (sender == popup && popupOpen) return WindowLabel{"w1", false};
            return std::nullopt;
        };
        console.window = labeller;
        network.window = labeller;
    }
    void log(std::string level, std::string text, WebKitWebView* from = page) {
        console.receive(json{{"level", std::move(level)}, {"text", std::move(text)}}, from, true);
    }
    void request(std::string url, json status, json error = nullptr, json ms = 5, std::string method = "GET",
                 WebKitWebView* from = page) {
        network.receive(json{{"method", std::move(method)}, {"url", std::move(url)}, {"status", std::move(status)},
                             {"error", std::move(error)}, {"ms", std::move(ms)}},
                        from, true);
    }
};

std::string repeated(const std::string& unit, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += unit;
    return out;
}

// A family emoji: seven code points joined into one user-perceived character.
const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7\xE2\x80\x8D\xF0\x9F\x91\xA6";

} // namespace

TEST_F(Recorders, ConsoleKeepsTheThreeLevelsOfKnownMainFramesAndCutsAtCharacters) {
    ConsoleRecorder unlabelled;
    unlabelled.receive(json{{"level", "log"}, {"text", "x"}}, page, true);
    EXPECT_TRUE(unlabelled.messages().empty()) << "nothing is kept before the labeller is set";

    log("log", "one");
    log("warn", "two");
    log("error", "three");
    for (const json& body : {json{{"level", "info"}, {"text", "x"}}, json{{"level", "Error"}, {"text", "x"}},
                             json{{"level", "log"}, {"text", 5}}, json::array({"log", "x"})}) {
        console.receive(body, page, true);
    }
    console.receive(json{{"level", "log"}, {"text", "from a subframe"}}, page, false);
    log("error", "unknown sender", stranger);
    log("error", "no sender", nullptr);
    // 1999 letters and then families: byte or code point counts would cut inside one.
    log("log", repeated("a", 1999) + repeated(family, 3));
    log("log", std::string("bad \xFF byte"));

    auto taken = console.take();
    EXPECT_EQ(taken.leftOut, 0);
    EXPECT_EQ(taken.messages, (std::vector<ConsoleMessage>{{Level::log, "one", std::nullopt},
                                                           {Level::warn, "two", std::nullopt},
                                                           {Level::error, "three", std::nullopt},
                                                           {Level::log, repeated("a", 1999) + family, std::nullopt},
                                                           {Level::log, "bad \xEF\xBF\xBD byte", std::nullopt}}));
    EXPECT_EQ(console.errorCount(), 1);
}

TEST_F(Recorders, KeepTheLastHundredUntilATakeAndCountWhatTheyDropped) {
    for (int i = 1; i <= 250; ++i) {
        log(i % 2 ? "error" : "log", std::to_string(i));
        request("http://h/" + std::to_string(i), 200);
    }
    EXPECT_EQ(console.messages().size(), 100u);
    auto taken = console.take();
    EXPECT_EQ(taken.leftOut, 150);
    EXPECT_EQ(taken.messages.front().text, "151");
    EXPECT_EQ(taken.messages.back().text, "250");
    EXPECT_EQ(console.errorCount(), 125) << "error counts are marks: a take leaves them";
    auto again = console.take();
    EXPECT_TRUE(again.messages.empty());
    EXPECT_EQ(again.leftOut, 0);

    auto requests = network.take();
    EXPECT_EQ(requests.leftOut, 150);
    EXPECT_EQ(requests.requests.front().url, "http://h/151");
    EXPECT_EQ(network.recent().size(), 100u) << "a take leaves the \"since\" list";
    EXPECT_EQ(network.ended(), 250);
}

TEST_F(Recorders, WindowIdsShowOnlyOnceSeveralWindowsWereOpen) {
    log("error", "alone");
    log("error", "closed popup", popup);  // not a window now: dropped
    auto alone = console.take().messages;
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_FALSE(alone[0].window);

    log("log", "before the popup");
    popupOpen = true;
    log("error", "in the popup", popup);
    request("http://h/", 200, nullptr, 5, "GET", popup);
    auto several = console.take().messages;
    ASSERT_EQ(several.size(), 2u);
    EXPECT_EQ(several[0].window, "main");
    EXPECT_EQ(several[1].window, "w1");
    EXPECT_EQ(network.take().requests[0].window, "w1");

    // A take clears the flag; "main" with a popup open is not alone either.
    popupOpen = false;
    log("log", "popup closed");
    EXPECT_FALSE(console.take().messages[0].window);
    popupOpen = true;
    log("log", "main beside a popup");
    EXPECT_EQ(console.take().messages[0].window, "main");

    EXPECT_EQ(console.errorsOf("main"), 1);
    EXPECT_EQ(console.errorsOf("w1"), 1);
    EXPECT_EQ(console.errorsOf("w2"), 0);
}

TEST_F(Recorders, NetworkTakesStatusErrorMethodAndURLAsThePageCannotForgeThem) {
    request("http://h/404", 404);
    request("http://h/aborted", nullptr, "aborted");
    request("http://h/timeout", nullptr, "timed out");
    request("http://h/odd", nullptr, "connection reset");
    request("http://h/ok", 200, "aborted");
    request("http://h/text-status", "200");
    request("http://h/fraction", 200.5);
    network.receive(json{{"method", "GET"}, {"url", "http://h/missing"}, {"ms", 1}}, page, true);
    request("http://h/", 200, nullptr, 5, "M-SEARCH 2");
    request("http://h/" + repeated("a", 1990) + repeated(family, 5), 200, nullptr, 12.0, repeated("x", 25));
    // Dropped: ms not integral, not a number or missing; no method; not a main frame; unknown sender.
    for (const json& ms : {json(1.5), json("12"), json()}) request("http://h/", 200, nullptr, ms);
    network.receive(json{{"url", "http://h/"}, {"ms", 1}}, page, true);
    network.receive(json{{"method", "GET"}, {"url", "http://h/"}, {"ms", 1}}, page, false);
    request("http://h/stranger", 500, nullptr, 5, "GET", stranger);

    auto requests = network.take().requests;
    ASSERT_EQ(requests.size(), 10u);
    auto outcome = [](const NetworkRequest& r) { return r.status ? json(*r.status) : json(r.error.value_or("?")); };
    std::vector<json> outcomes;
    for (const auto& r : requests) outcomes.push_back(outcome(r));
    EXPECT_EQ(outcomes, (std::vector<json>{404, "aborted", "timed out", "network error", 200, "network error",
                                           "network error", "network error", 200, 200}));
    EXPECT_TRUE(requests[0].failed());
    EXPECT_FALSE(requests[4].error);
    EXPECT_EQ(requests[8].method, "MSEARCH");
    EXPECT_EQ(requests[9].method, repeated("x", 20));
    EXPECT_EQ(requests[9].url, "http://h/" + repeated("a", 1990) + family);
    EXPECT_EQ(text::characterCount(requests[9].url), 2000u);
    EXPECT_EQ(requests[9].milliseconds, 12);
}

TEST_F(Recorders, FailedRequestsSinceAMarkCountOnlyWhatCameAfter) {
    request("http://h/399", 399);
    request("http://h/before", 500);
    auto mark = network.ended();
    EXPECT_TRUE(network.failedRequests(mark).empty());

    popupOpen = true;
    request("http://h/main-fail", 503);
    request("http://h/main-ok", 200);
    request("http://h/popup-fail", nullptr, "aborted", 5, "GET", popup);
    auto urls = [](const std::vector<NetworkRequest>& list) {
        std::vector<std::string> out;
        for (const auto& r : list) out.push_back(r.url);
        return out;
    };
    EXPECT_EQ(urls(network.failedRequests(mark)), (std::vector<std::string>{"http://h/main-fail", "http://h/popup-fail"}));
    EXPECT_EQ(urls(network.failedRequests(mark, "w1")), (std::vector<std::string>{"http://h/popup-fail"}));
    EXPECT_TRUE(network.failedRequests(mark, "w2").empty());
    EXPECT_TRUE(network.failedRequests(network.ended()).empty());
    EXPECT_TRUE(network.failedRequests(network.ended() + 5).empty()) << "a mark from the future counts nothing";
    EXPECT_EQ(network.failedRequests(0).size(), 3u);

    // Of 150 failures since a mark only the last 100 are still known.
    auto floodMark = network.ended();
    for (int i = 1; i <= 150; ++i) request("http://h/" + std::to_string(i), 500);
    auto flood = network.failedRequests(floodMark);
    ASSERT_EQ(flood.size(), 100u);
    EXPECT_EQ(flood.front().url, "http://h/51");

    // A profile switch forgets them; marks stay valid and count on.
    network.clearRecent();
    EXPECT_TRUE(network.failedRequests(floodMark).empty());
    auto afterSwitch = network.ended();
    request("http://h/new", 404);
    EXPECT_EQ(network.failedRequests(floodMark).size(), 1u);
    EXPECT_EQ(network.failedRequests(afterSwitch).size(), 1u);
}
