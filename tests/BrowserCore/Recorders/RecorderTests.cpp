#include "BrowserCore/Recorders/ConsoleRecorder.h"
#include "BrowserCore/Recorders/NetworkRecorder.h"
#include "Platform/Text.h"

#include <gtest/gtest.h>

using namespace vesk;
using nlohmann::json;

namespace {

// Stand-ins for web views: the labeller only compares their addresses.
int pageToken, popupToken, strangerToken;
WebKitWebView* const page = reinterpret_cast<WebKitWebView*>(&pageToken);
WebKitWebView* const popup = reinterpret_cast<WebKitWebView*>(&popupToken);
WebKitWebView* const stranger = reinterpret_cast<WebKitWebView*>(&strangerToken);

// The session's labeller: "main" is alone while no popup is open.
struct Windows {
    bool popupOpen = false;
    WindowLabeller labeller() {
        return [this](WebKitWebView* sender) -> std::optional<WindowLabel> {
            if (sender == page) return WindowLabel{"main", !popupOpen};
            if (sender == popup && popupOpen) return WindowLabel{"w1", false};
            return std::nullopt;
        };
    }
};

json consoleBody(std::string level, std::string text) {
    return {{"level", std::move(level)}, {"text", std::move(text)}, {"mainFrame", true}};
}

json networkBody(std::string method, std::string url, json status, json error = nullptr, json ms = 5) {
    return {{"method", std::move(method)}, {"url", std::move(url)}, {"status", std::move(status)},
            {"error", std::move(error)}, {"ms", std::move(ms)}, {"mainFrame", true}};
}

std::string repeated(const std::string& unit, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += unit;
    return out;
}

// A family emoji: seven code points joined into one user-perceived character.
const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7\xE2\x80\x8D\xF0\x9F\x91\xA6";

} // namespace

TEST(ConsoleRecorder, KeepsTheThreeLevelsAndDropsAnythingElse) {
    ConsoleRecorder recorder;
    recorder.receive(consoleBody("log", "before the labeller"), page);
    EXPECT_TRUE(recorder.messages().empty());

    Windows windows;
    recorder.window = windows.labeller();
    recorder.receive(consoleBody("log", "one"), page);
    recorder.receive(consoleBody("warn", "two"), page);
    recorder.receive(consoleBody("error", "three"), page);
    recorder.receive(consoleBody("info", "unknown level"), page);
    recorder.receive(consoleBody("Error", "level case matters"), page);
    recorder.receive({{"level", "log"}, {"text", 5}, {"mainFrame", true}}, page);
    recorder.receive({{"level", "log"}, {"text", "from a subframe"}, {"mainFrame", false}}, page);
    recorder.receive({{"level", "log"}, {"text", "no frame said"}}, page);
    recorder.receive(json::array({"log", "x"}), page);
    recorder.receive(consoleBody("error", "unknown sender"), stranger);
    recorder.receive(consoleBody("error", "no sender"), nullptr);

    auto taken = recorder.take();
    EXPECT_EQ(taken.leftOut, 0);
    EXPECT_EQ(taken.messages, (std::vector<ConsoleMessage>{{ConsoleMessage::Level::log, "one", std::nullopt},
                                                           {ConsoleMessage::Level::warn, "two", std::nullopt},
                                                           {ConsoleMessage::Level::error, "three", std::nullopt}}));
    EXPECT_EQ(recorder.errorCount(), 1);
}

TEST(ConsoleRecorder, CutsTextsAtCharacterBoundaries) {
    ConsoleRecorder recorder;
    Windows windows;
    recorder.window = windows.labeller();
    // 1999 letters and then families: byte or code point counts would cut inside one.
    recorder.receive(consoleBody("log", repeated("a", 1999) + repeated(family, 3)), page);
    recorder.receive(consoleBody("log", repeated("e\xCC\x81", 2500)), page);  // e + combining accent
    recorder.receive(consoleBody("log", std::string("bad \xFF byte")), page);

    auto messages = recorder.take().messages;
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].text, repeated("a", 1999) + family);
    EXPECT_EQ(messages[1].text, repeated("e\xCC\x81", 2000));
    EXPECT_EQ(messages[2].text, "bad \xEF\xBF\xBD byte");
}

TEST(ConsoleRecorder, KeepsTheLastHundredAndCountsWhatItDropped) {
    ConsoleRecorder recorder;
    Windows windows;
    recorder.window = windows.labeller();
    for (int i = 1; i <= 250; ++i) recorder.receive(consoleBody(i % 2 ? "error" : "log", std::to_string(i)), page);
    EXPECT_EQ(recorder.messages().size(), 100u);

    auto taken = recorder.take();
    EXPECT_EQ(taken.leftOut, 150);
    ASSERT_EQ(taken.messages.size(), 100u);
    EXPECT_EQ(taken.messages.front().text, "151");
    EXPECT_EQ(taken.messages.back().text, "250");
    // Error counts are marks: a take leaves them.
    EXPECT_EQ(recorder.errorCount(), 125);

    auto again = recorder.take();
    EXPECT_TRUE(again.messages.empty());
    EXPECT_EQ(again.leftOut, 0);
}

TEST(ConsoleRecorder, WindowIdsShowOnlyOnceSeveralWindowsWereOpen) {
    ConsoleRecorder recorder;
    Windows windows;
    recorder.window = windows.labeller();
    recorder.receive(consoleBody("error", "alone"), page);
    recorder.receive(consoleBody("error", "closed popup"), popup);  // not a window now: dropped
    auto alone = recorder.take().messages;
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_FALSE(alone[0].window);

    recorder.receive(consoleBody("log", "before the popup"), page);
    windows.popupOpen = true;
    recorder.receive(consoleBody("error", "in the popup"), popup);
    auto several = recorder.take().messages;
    ASSERT_EQ(several.size(), 2u);
    EXPECT_EQ(several[0].window, std::optional<std::string>("main"));
    EXPECT_EQ(several[1].window, std::optional<std::string>("w1"));

    // A take clears the flag; "main" with a popup open is not alone either.
    windows.popupOpen = false;
    recorder.receive(consoleBody("log", "popup closed"), page);
    EXPECT_FALSE(recorder.take().messages[0].window);
    windows.popupOpen = true;
    recorder.receive(consoleBody("log", "main beside a popup"), page);
    EXPECT_EQ(recorder.take().messages[0].window, std::optional<std::string>("main"));

    EXPECT_EQ(recorder.errorsOf("main"), 1);
    EXPECT_EQ(recorder.errorsOf("w1"), 1);
    EXPECT_EQ(recorder.errorsOf("w2"), 0);
    EXPECT_EQ(recorder.errorCount(), 2);
}

TEST(NetworkRecorder, StatusAndErrorFollowTheBody) {
    NetworkRecorder recorder;
    Windows windows;
    recorder.window = windows.labeller();
    recorder.receive(networkBody("GET", "http://h/404", 404), page);
    recorder.receive(networkBody("GET", "http://h/399", 399), page);
    recorder.receive(networkBody("GET", "http://h/aborted", nullptr, "aborted"), page);
    recorder.receive(networkBody("GET", "http://h/timeout", nullptr, "timed out"), page);
    recorder.receive(networkBody("GET", "http://h/odd", nullptr, "connection reset"), page);
    recorder.receive(networkBody("GET", "http://h/ok", 200, "aborted"), page);
    recorder.receive(networkBody("GET", "http://h/text-status", "200"), page);
    recorder.receive(networkBody("GET", "http://h/fraction", 200.5), page);
    json missing = networkBody("GET", "http://h/missing", nullptr);
    missing.erase("status");
    missing.erase("error");
    recorder.receive(missing, page);

    auto requests = recorder.take().requests;
    ASSERT_EQ(requests.size(), 9u);
    EXPECT_EQ(requests[0].status, std::optional<int>(404));
    EXPECT_TRUE(requests[0].failed());
    EXPECT_FALSE(requests[0].error);
    EXPECT_FALSE(requests[1].failed());
    EXPECT_EQ(requests[2].error, std::optional<std::string>("aborted"));
    EXPECT_EQ(requests[3].error, std::optional<std::string>("timed out"));
    EXPECT_EQ(requests[4].error, std::optional<std::string>("network error"));
    EXPECT_EQ(requests[5].status, std::optional<int>(200));
    EXPECT_FALSE(requests[5].error);
    for (std::size_t i : {6u, 7u, 8u}) {
        EXPECT_FALSE(requests[i].status) << i;
        EXPECT_EQ(requests[i].error, std::optional<std::string>("network error")) << i;
    }
}

TEST(NetworkRecorder, CleansMethodsAndCutsUrls) {
    NetworkRecorder recorder;
    Windows windows;
    recorder.window = windows.labeller();
    recorder.receive(networkBody("get", "http://h/", 200), page);
    recorder.receive(networkBody("M-SEARCH 2", "http://h/", 200), page);
    recorder.receive(networkBody(repeated("X", 25), "http://h/" + repeated("a", 1990) + repeated(family, 5), 200), page);
    recorder.receive(networkBody("GET", "http://h/", 200, nullptr, 12.0), page);
    recorder.receive(networkBody("GET", "http://h/", 200, nullptr, 1.5), page);     // ms not integral
    recorder.receive(networkBody("GET", "http://h/", 200, nullptr, "12"), page);    // ms not a number
    recorder.receive(networkBody("GET", "http://h/", 200, nullptr, nullptr), page); // no ms
    recorder.receive({{"url", "http://h/"}, {"ms", 1}, {"mainFrame", true}}, page); // no method
    json fromFrame = networkBody("GET", "http://h/frame", 200);
    fromFrame["mainFrame"] = false;
    recorder.receive(fromFrame, page);
    recorder.receive(networkBody("GET", "http://h/stranger", 500), stranger);

    EXPECT_EQ(recorder.ended(), 4);
    auto requests = recorder.take().requests;
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].method, "get");
    EXPECT_EQ(requests[1].method, "MSEARCH");
    EXPECT_EQ(requests[2].method, repeated("X", 20));
    EXPECT_EQ(requests[2].url, "http://h/" + repeated("a", 1990) + family);
    EXPECT_EQ(text::characterCount(requests[2].url), 2000u);
    EXPECT_EQ(requests[3].milliseconds, 12);
}

TEST(NetworkRecorder, FloodsStayWithinTheLimits) {
    NetworkRecorder recorder;
    Windows windows;
    recorder.window = windows.labeller();
    for (int i = 1; i <= 250; ++i) recorder.receive(networkBody("GET", "http://h/" + std::to_string(i), 200), page);
    EXPECT_EQ(recorder.requests().size(), 100u);
    EXPECT_EQ(recorder.recent().size(), 100u);
    EXPECT_EQ(recorder.ended(), 250);

    auto taken = recorder.take();
    EXPECT_EQ(taken.leftOut, 150);
    EXPECT_EQ(taken.requests.front().url, "http://h/151");
    // A take leaves the "since" list and the count.
    EXPECT_EQ(recorder.recent().size(), 100u);
    EXPECT_EQ(recorder.ended(), 250);
    EXPECT_EQ(recorder.take().leftOut, 0);
}

TEST(NetworkRecorder, FailedRequestsSinceAMarkCountOnlyWhatCameAfter) {
    NetworkRecorder recorder;
    Windows windows;
    recorder.window = windows.labeller();
    recorder.receive(networkBody("GET", "http://h/before", 500), page);
    auto mark = recorder.ended();
    EXPECT_TRUE(recorder.failedRequests(mark).empty());

    windows.popupOpen = true;
    recorder.receive(networkBody("GET", "http://h/main-fail", 503), page);
    recorder.receive(networkBody("GET", "http://h/main-ok", 200), page);
    recorder.receive(networkBody("GET", "http://h/popup-fail", nullptr, "aborted"), popup);
    auto failed = recorder.failedRequests(mark);
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_EQ(failed[0].url, "http://h/main-fail");
    EXPECT_EQ(failed[1].url, "http://h/popup-fail");
    auto inPopup = recorder.failedRequests(mark, "w1");
    ASSERT_EQ(inPopup.size(), 1u);
    EXPECT_EQ(inPopup[0].url, "http://h/popup-fail");
    EXPECT_TRUE(recorder.failedRequests(mark, "w2").empty());
    EXPECT_TRUE(recorder.failedRequests(recorder.ended()).empty());

    // Of 150 failures since a mark only the last 100 are still known.
    auto floodMark = recorder.ended();
    for (int i = 1; i <= 150; ++i) recorder.receive(networkBody("GET", "http://h/" + std::to_string(i), 500), page);
    auto flood = recorder.failedRequests(floodMark);
    ASSERT_EQ(flood.size(), 100u);
    EXPECT_EQ(flood.front().url, "http://h/51");

    // A profile switch forgets them; marks stay valid and count on.
    recorder.clearRecent();
    EXPECT_TRUE(recorder.failedRequests(floodMark).empty());
    auto afterSwitch = recorder.ended();
    EXPECT_EQ(afterSwitch, 154);
    recorder.receive(networkBody("GET", "http://h/new", 404), page);
    EXPECT_EQ(recorder.failedRequests(floodMark).size(), 1u);
    EXPECT_EQ(recorder.failedRequests(afterSwitch).size(), 1u);
}
