#include "BrowserCore/Recorders/NetworkRecorder.h"

#include "BrowserCore/PageAgent/ScriptMessageBody.h"
#include "Support/BrowserCoreResource.h"
#include "Support/Fixture.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"
#include "Support/WebViewHarness.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;
using nlohmann::json;

namespace {

// A web view with the request watcher installed as the session installs it:
// at document start, in every frame, in the page's world, its "network"
// messages going to a recorder that knows the view as the lone main window.
class RequestWatcherPage : public testing::Test {
protected:
    void SetUp() override {
        if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
        harness = std::make_unique<WebViewHarness>();
        // In place of the web process's posting function: one that says
        // whether it posts from the main frame.
        harness->addScript("window.__veskNetwork = b => webkit.messageHandlers.network.postMessage("
                           "{body: b, main: window === window.top});");
        harness->addScript(browserCoreResource("requests.js"), true, nullptr);
        WebKitWebView* view = harness->view();
        harness->onMessage("network", nullptr, [this, view](JSCValue* posted) {
            auto message = scriptMessageBody(posted);
            recorder.receive(message["body"], view, message["main"] == true);
        });
        recorder.window = [view](WebKitWebView* sender) -> std::optional<WindowLabel> {
            if (sender == view) return WindowLabel{"main", true};
            return std::nullopt;
        };
        server.serve("/page", "<!doctype html><title>requests</title>");
        LoopbackServer::Response ok;
        ok.body = "ok";
        ok.contentType = "text/plain";
        server.serve("/ok", ok);
        LoopbackServer::Response failing = ok;
        failing.status = 500;
        server.serve("/fail", failing);
        server.serve("/slow", {.hold = true});
    }

    void open() { ASSERT_TRUE(harness->load(server.url("/page"))); }

    // Waits until the recorder has counted `count` requests in all.
    void awaitEnded(std::int64_t count) {
        EXPECT_TRUE(spinUntil([&] { return recorder.ended() >= count; })) << "ended " << recorder.ended();
    }

    LoopbackServer server;
    std::unique_ptr<WebViewHarness> harness;
    NetworkRecorder recorder;
};

} // namespace

TEST_F(RequestWatcherPage, ReportsStatusesAndFailuresAsThePageSawThem) {
    open();
    auto page = harness->call(R"(
        const failed = await fetch('/fail');
        const controller = new AbortController();
        const slow = fetch('/slow', {signal: controller.signal});
        setTimeout(() => controller.abort(), 20);
        let abortName = null;
        try { await slow; } catch (e) { abortName = e.name; }
        const timedOut = await new Promise((resolve) => {
            const x = new XMLHttpRequest();
            x.open('get', 'slow?x=1');
            x.timeout = 100;
            x.addEventListener('loadend', () => resolve(x.status));
            x.send();
        });
        let refused = null;
        try { await fetch('http://127.0.0.1:1/'); } catch (e) { refused = e.name; }
        await fetch('/ok', {method: 'patch'});
        return {status: failed.status, abortName, timedOut, refused};
    )");
    // The page's own promises settled as they would without the watcher.
    EXPECT_EQ(page, json({{"status", 500}, {"abortName", "AbortError"}, {"timedOut", 0}, {"refused", "TypeError"}}));

    awaitEnded(5);
    auto requests = recorder.take().requests;
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0], (NetworkRequest{"GET", server.url("/fail"), 500, std::nullopt, requests[0].milliseconds, std::nullopt}));
    EXPECT_TRUE(requests[0].failed());
    EXPECT_EQ(requests[1].url, server.url("/slow"));
    EXPECT_FALSE(requests[1].status);
    EXPECT_EQ(requests[1].error, std::optional<std::string>("aborted"));
    EXPECT_EQ(requests[2].method, "GET");
    EXPECT_EQ(requests[2].url, server.url("/slow?x=1"));
    EXPECT_FALSE(requests[2].status);
    EXPECT_EQ(requests[2].error, std::optional<std::string>("timed out"));
    EXPECT_EQ(requests[3].error, std::optional<std::string>("network error"));
    EXPECT_EQ(requests[4].method, "PATCH");
    EXPECT_EQ(requests[4].status, std::optional<int>(200));
    EXPECT_FALSE(requests[4].failed());
    for (const auto& request : requests) EXPECT_GE(request.milliseconds, 0);
}

TEST_F(RequestWatcherPage, MarksCountOnlyWhatEndedBetweenThem) {
    open();
    auto before = recorder.ended();
    harness->call("await fetch('/fail');");
    awaitEnded(before + 1);
    auto middle = recorder.ended();
    LoopbackServer::Response late;
    late.status = 201;
    late.delay = milliseconds(30);
    server.serve("/late", late);
    harness->call("await fetch('/missing'); await fetch('/late');");
    awaitEnded(middle + 2);
    auto after = recorder.ended();

    auto sinceBefore = recorder.failedRequests(before);
    ASSERT_EQ(sinceBefore.size(), 2u);
    EXPECT_EQ(sinceBefore[0].status, std::optional<int>(500));
    EXPECT_EQ(sinceBefore[1].status, std::optional<int>(404));
    auto sinceMiddle = recorder.failedRequests(middle);
    ASSERT_EQ(sinceMiddle.size(), 1u);
    EXPECT_EQ(sinceMiddle[0].url, server.url("/missing"));
    EXPECT_TRUE(recorder.failedRequests(after).empty());
    EXPECT_EQ(recorder.recent().back().status, std::optional<int>(201));
    EXPECT_EQ(recorder.failedRequests(before, "main").size(), 2u);
}

TEST_F(RequestWatcherPage, ASendThatThrowsLeavesTheRequestReportedOnce) {
    open();
    auto threw = harness->call(R"(
        const x = new XMLHttpRequest();
        x.open('GET', '/ok');
        const done = new Promise((resolve) => x.addEventListener('loadend', resolve));
        x.send();
        let threw = null;
        try { x.send(); } catch (e) { threw = e.name; }
        await done;
        await fetch('/missing');
        return {threw, pending: window[Symbol.for('Vesk.requests')].state().pending};
    )");
    EXPECT_EQ(threw, json({{"threw", "InvalidStateError"}, {"pending", 0}}));
    awaitEnded(2);
    auto requests = recorder.take().requests;
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].url, server.url("/ok"));
    EXPECT_EQ(requests[0].status, std::optional<int>(200));
    EXPECT_EQ(requests[1].url, server.url("/missing"));
}

TEST_F(RequestWatcherPage, CountsPendingRequestsSinceTheLastWatch) {
    open();
    auto states = harness->call(R"(
        const key = Symbol.for('Vesk.requests');
        const w = window[key];
        const d = Object.getOwnPropertyDescriptor(window, key);
        w.watch();
        const fresh = w.state();
        const controller = new AbortController();
        const early = fetch('/slow', {signal: controller.signal}).catch(() => {});
        const begun = w.state().pending;
        w.watch();
        const rewatched = w.state();
        controller.abort();
        await early;
        const afterEarly = w.state();
        const later = fetch('/ok');
        const during = w.state().pending;
        await later;
        const settled = w.state();
        return {fresh, begun, rewatched, afterEarly, during, settledPending: settled.pending,
                idleIsNumber: typeof settled.idleMs === 'number' && settled.idleMs >= 0,
                locked: !d.writable && !d.enumerable && !d.configurable};
    )");
    json idle = {{"pending", 0}, {"idleMs", nullptr}};
    EXPECT_EQ(states["fresh"], idle);
    EXPECT_EQ(states["begun"], 1);
    EXPECT_EQ(states["rewatched"], idle);
    EXPECT_EQ(states["afterEarly"], idle);  // a request begun before watch() leaves the new counters
    EXPECT_EQ(states["during"], 1);
    EXPECT_EQ(states["settledPending"], 0);
    EXPECT_EQ(states["idleIsNumber"], true);
    EXPECT_EQ(states["locked"], true);
}

TEST_F(RequestWatcherPage, SubframesAndASecondCopyReportNothing) {
    // The session installs the watcher once; a second copy must stay inert.
    harness->addScript(browserCoreResource("requests.js"), true, nullptr);
    server.serve("/frame", fixture("BrowserCore/Recorders/pages/frame-2.html"));
    open();
    harness->call(R"(
        const fetched = new Promise((resolve) => window.addEventListener('message', resolve));
        const f = document.createElement('iframe');
        f.src = '/frame';
        document.body.appendChild(f);
        await fetched;
        await fetch('/missing');
    )");
    awaitEnded(1);
    auto requests = recorder.take().requests;
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].url, server.url("/missing"));
    EXPECT_EQ(server.hits("/fail"), 1u);
}

TEST_F(RequestWatcherPage, AFloodStaysWithinTheLimits) {
    open();
    harness->call(R"(
        const all = [];
        for (let i = 0; i < 300; i++) all.push(fetch('/ok?n=' + i));
        await Promise.all(all);
        await fetch('/ok?long=' + 'a'.repeat(2500));
    )", nullptr, seconds(60));
    awaitEnded(301);
    EXPECT_EQ(recorder.ended(), 301);
    EXPECT_EQ(recorder.recent().size(), 100u);
    auto taken = recorder.take();
    EXPECT_EQ(taken.leftOut, 201);
    ASSERT_EQ(taken.requests.size(), 100u);
    EXPECT_EQ(taken.requests.back().url.size(), 2000u);
    EXPECT_EQ(taken.requests.back().url, (server.url("/ok?long=") + std::string(2500, 'a')).substr(0, 2000));
}
