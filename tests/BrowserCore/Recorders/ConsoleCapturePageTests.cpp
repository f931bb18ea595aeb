#include "BrowserCore/Recorders/ConsoleRecorder.h"
#include "Platform/Text.h"

#include "BrowserCore/PageAgent/ScriptMessageBody.h"
#include "Support/BrowserCoreResource.h"
#include "Support/Fixture.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"
#include "Support/WebViewHarness.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

// A web view with the console capture installed as the session installs it:
// at document start, main frame only, in the page's world, its messages
// going to a recorder that knows the view as the lone main window.
class ConsoleCapturePage : public testing::Test {
protected:
    void SetUp() override {
        if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
        harness = std::make_unique<WebViewHarness>();
        // In place of the web process's posting function, which it gives
        // main frames only.
        harness->addScript("window.__veskConsole = b => webkit.messageHandlers.console.postMessage(b);", false);
        harness->addScript(browserCoreResource("console.js"), false, nullptr);
        WebKitWebView* view = harness->view();
        harness->onMessage("console", nullptr,
                           [this, view](JSCValue* body) { recorder.receive(scriptMessageBody(body), view, true); });
        recorder.window = [view](WebKitWebView* sender) -> std::optional<WindowLabel> {
            if (sender == view) return WindowLabel{"main", true};
            return std::nullopt;
        };
    }

    // Loads a page whose body runs `script`.
    void load(const std::string& script) {
        server.serve("/page", "<!doctype html><title>t</title><script>\n" + script + "\n</script>");
        EXPECT_TRUE(harness->load(server.url("/page")));
    }

    // Loads the page and takes what it logged once `count` messages came.
    std::vector<ConsoleMessage> run(const std::string& script, std::size_t count) {
        load(script);
        EXPECT_TRUE(spinUntil([&] { return recorder.messages().size() >= count; }));
        return recorder.take().messages;
    }

    LoopbackServer server;
    std::unique_ptr<WebViewHarness> harness;
    ConsoleRecorder recorder;
};

using Level = ConsoleMessage::Level;

} // namespace

TEST_F(ConsoleCapturePage, RecordsEachLevelShownAsText) {
    auto messages = run(R"(
        console.log('hello', 42, {a: [1, 'b']}, undefined, null);
        console.warn('careful');
        console.error(new TypeError('bad type'));
        const cyclic = {}; cyclic.self = cyclic;
        console.log(cyclic);
        console.log(Symbol('s'));
        console.info('not captured');
    )", 5);
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0], (ConsoleMessage{Level::log, "hello 42 {\"a\":[1,\"b\"]} undefined null", std::nullopt}));
    EXPECT_EQ(messages[1], (ConsoleMessage{Level::warn, "careful", std::nullopt}));
    EXPECT_EQ(messages[2], (ConsoleMessage{Level::error, "TypeError: bad type", std::nullopt}));
    EXPECT_EQ(messages[3].text, "[object Object]");
    EXPECT_EQ(messages[4].text, "Symbol(s)");
    EXPECT_EQ(recorder.errorCount(), 1);
}

TEST_F(ConsoleCapturePage, RecordsUncaughtErrorsAndRejections) {
    auto messages = run(R"(
        setTimeout(() => { throw new Error('thrown late'); }, 0);
        Promise.reject('refused');
    )", 2);
    ASSERT_EQ(messages.size(), 2u);
    for (const auto& message : messages) EXPECT_EQ(message.level, Level::error);
    // Which comes first is the engine's business; look each one up.
    auto find = [&](const std::string& start) -> std::string {
        for (const auto& m : messages) if (m.text.rfind(start, 0) == 0) return m.text;
        return "";
    };
    EXPECT_EQ(find("Unhandled"), "Unhandled promise rejection: refused");
    auto uncaught = find("Uncaught");
    EXPECT_EQ(uncaught.rfind("Uncaught Error: thrown late (" + server.url("/page") + ":", 0), 0u) << uncaught;
    EXPECT_EQ(uncaught.back(), ')');
    EXPECT_EQ(recorder.errorCount(), 2);
}

TEST_F(ConsoleCapturePage, KeepsPageConsoleWorkingAndSubframesOut) {
    server.serve("/frame", fixture("BrowserCore/Recorders/pages/frame.html"));
    auto messages = run(R"(
        window.addEventListener('message', () => console.log('after the frame'));
        const f = document.createElement('iframe');
        f.src = '/frame';
        document.documentElement.appendChild(f);
        console.log(typeof console.warn('x'));
    )", 3);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], (ConsoleMessage{Level::warn, "x", std::nullopt}));
    EXPECT_EQ(messages[1].text, "undefined");  // the page's own method ran and answered
    EXPECT_EQ(messages[2].text, "after the frame");
    EXPECT_EQ(recorder.errorCount(), 0);
}

TEST_F(ConsoleCapturePage, AFloodStaysWithinTheLimits) {
    // The page cuts at 2000 UTF-16 units, here inside an emoji's surrogate
    // pair; the recorder still gets valid text of at most 2000 characters.
    load(R"(
        for (let i = 1; i <= 150; i++) console.error(String(i).padEnd(1999, '-') + '\u{1F600}' + 'x'.repeat(3000));
        console.log('last');
    )");
    ASSERT_TRUE(spinUntil([&] { return !recorder.messages().empty() && recorder.messages().back().text == "last"; }));
    auto taken = recorder.take();
    EXPECT_EQ(taken.leftOut, 51);
    ASSERT_EQ(taken.messages.size(), 100u);
    const auto& first = taken.messages.front();
    EXPECT_EQ(first.text.substr(0, 3), "52-");
    // The lone half is dropped or replaced, never passed on as bad UTF-8.
    EXPECT_EQ(first.text.substr(0, 1999), "52" + std::string(1997, '-'));
    EXPECT_LE(first.text.size(), 2002u);
    EXPECT_EQ(text::validUtf8(first.text), first.text);
    EXPECT_EQ(recorder.errorCount(), 150);
}
