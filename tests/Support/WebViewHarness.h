#pragma once

#include "Platform/Clock.h"

#include <gtk/gtk.h>
#include <nlohmann/json.hpp>
#include <webkit/webkit.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vesk::test {

// A web view of its own for a page test: its own user content manager and
// ephemeral network session, shown in a window (so the page counts as
// visible), with helpers to add user scripts, take script messages, load a
// URL and run script in the page. Needs a display (scripts/test-session).
class WebViewHarness {
public:
    WebViewHarness();
    ~WebViewHarness();
    WebViewHarness(const WebViewHarness&) = delete;
    WebViewHarness& operator=(const WebViewHarness&) = delete;

    WebKitWebView* view() const { return view_; }
    WebKitUserContentManager* contentManager() const { return manager_; }

    // Adds a user script that runs at document start, in every frame or in
    // the main frame only, in the named world (nullptr: the page's world).
    // Takes effect for documents loaded afterwards.
    void addScript(const std::string& source, bool allFrames = true, const char* world = nullptr);

    // Registers the message handler `name` in the world (nullptr: the page's
    // world) and calls `handler` with each message body.
    void onMessage(const std::string& name, const char* world, std::function<void(JSCValue*)> handler);

    // Loads the URL and waits until the load finishes. False when it failed
    // or the deadline passed.
    bool load(const std::string& url, Duration deadline = seconds(20));

    // Runs `body` as the body of an async function in the main frame (so it
    // can `await` and must `return` its result) and gives back the result as
    // JSON (undefined gives null). Throws std::runtime_error with the page's
    // error text, or when the deadline passes.
    nlohmann::json call(const std::string& body, const char* world = nullptr, Duration deadline = seconds(20));

private:
    struct Handler {
        std::function<void(JSCValue*)> function;
        gulong id = 0;
    };

    GtkWindow* window_ = nullptr;
    WebKitWebView* view_ = nullptr;
    WebKitUserContentManager* manager_ = nullptr;
    WebKitNetworkSession* session_ = nullptr;
    std::vector<std::unique_ptr<Handler>> handlers_;
};

} // namespace vesk::test
