#pragma once

// Helpers for the tests that drive a real session's pages: their pages,
// loading as the load path does, reading values from the page's own world,
// catching the session's errors, the labels of `waitingFor` while a command
// runs, and a stand-in page agent for frames whose agent must fail or stay
// silent.

#include "BrowserCore/FlowModel/FlowStepPrinting.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "Platform/Async.h"
#include "Support/Fixture.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace vesk::test {

// A page kept in pages/<name>.html beside the session tests.
inline std::string sessionPage(const std::string& name) { return fixture("BrowserCore/Session/pages/" + name + ".html"); }

// Shows a view in a window of its own, so that it lays out and draws; a
// width and height give the window a default size.
// A page of pages/ with "{{OTHER}}" made the server's address under the host
// localhost (another origin than 127.0.0.1) and "{{SELF}}" its own.
inline std::string fixturePage(const std::string& file, const LoopbackServer& server) {
    std::string page = sessionPage(file.substr(0, file.size() - 5));
    auto put = [&](const std::string& marker, std::string value) {
        value.pop_back();  // the trailing "/"
        for (auto at = page.find(marker); at != std::string::npos; at = page.find(marker, at + value.size())) {
            page.replace(at, marker.size(), value);
        }
    };
    put("{{OTHER}}", server.url("/", "localhost"));
    put("{{SELF}}", server.url("/"));
    return page;
}

// Serves each page at "/" followed by its name without ".html".
inline void serveFixtures(LoopbackServer& server, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        std::string file(name);
        server.serve("/" + file.substr(0, file.size() - 5), fixturePage(file, server));
    }
}

struct Shown {
    GtkWindow* window = GTK_WINDOW(gtk_window_new());
    explicit Shown(WebKitWebView* view, int width = 0, int height = 0) {
        if (width > 0 && height > 0) gtk_window_set_default_size(window, width, height);
        gtk_window_set_child(window, GTK_WIDGET(view));
        gtk_window_present(window);
    }
    ~Shown() { gtk_window_destroy(window); }
    Shown(const Shown&) = delete;
    Shown& operator=(const Shown&) = delete;
};

// Loads the URL into the page, after what the load path does before its
// first wait (the page's stage and the window delegate).
inline bool loadPage(BrowserSession& session, const std::string& url) {
    session.ensureWindowDelegate();
    webkit_web_view_load_uri(session.page->get(), url.c_str());
    return spinUntil([&] { return session.url.get() == url && !*session.isLoading; });
}

inline Task<nlohmann::json> evaluateInPage(WebKitWebView* view, std::string script) {
    GRef<WebKitWebView> keep = GRef<WebKitWebView>::retain(view);
    auto result = co_await gAsync([&](GAsyncReadyCallback callback, gpointer data) {
        webkit_web_view_evaluate_javascript(view, script.c_str(), -1, nullptr, nullptr, nullptr, callback, data);
    });
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_evaluate_javascript_finish(view, result.get(), &error);
    if (error) {
        std::string message = error->message;
        g_error_free(error);
        throw std::runtime_error(message);
    }
    nlohmann::json out;
    if (value && !jsc_value_is_undefined(value)) {
        char* text = jsc_value_to_json(value, 0);
        if (text) out = nlohmann::json::parse(text);
        g_free(text);
    }
    g_clear_object(&value);
    co_return out;
}

// The value of a script run in the page's own world of the view's main frame.
inline nlohmann::json pageValue(WebKitWebView* view, const std::string& script) {
    return runTask(evaluateInPage(view, script));
}

// The distinct ids of the subframes that announced themselves in the view.
inline std::set<std::string> announcedFrames(const BrowserSession& session, WebKitWebView* view) {
    std::set<std::string> ids;
    if (auto found = session.frames.known.find(view); found != session.frames.known.end()) {
        for (const auto& frame : found->second) ids.insert(frame.id);
    }
    return ids;
}

inline const FrameInfo* announcedFrameWithHost(const BrowserSession& session, WebKitWebView* view,
                                               const std::string& host) {
    auto found = session.frames.known.find(view);
    if (found == session.frames.known.end()) return nullptr;
    for (const auto& frame : found->second) {
        if (frame.info.host == host) return &frame.info;
    }
    return nullptr;
}

// A stand-in page agent for the frames whose URL holds "agent=silent" (it
// never answers) or "agent=flaky" (it fails its first command, then answers
// every scan with one button numbered above the floor). It runs before the
// real agent, which then stays out, and announces its frame as the agent
// does.
inline void useStandInAgents(WebKitWebView* view) {
    static const char* standIn = R"JS(
(() => {
    const mode = /agent=silent/.test(location.href) ? 'silent' : /agent=flaky/.test(location.href) ? 'flaky' : '';
    if (!mode) return;
    let calls = 0;
    const held = [];  // kept reachable, so an unanswered call is never collected
    const id = String(globalThis.__veskFrameId);
    globalThis.__agent = Object.freeze({ call(command, args) {
        calls += 1;
        if (mode === 'silent') return new Promise(resolve => held.push(resolve));
        if (calls === 1) return JSON.stringify({ ok: false, message: 'busy' });
        const n = Number(args.floor) + 1;
        return JSON.stringify({ ok: true, value: {
            url: location.href, title: '', text: 'stand-in', onScreen: [],
            elements: [{ ref: 'e' + n, role: 'button', name: 'Stand-in', tag: 'button' }],
            lastRef: n, frame: id, loadedFrom: location.href } });
    } });
    globalThis.__veskPost('frame', 
        JSON.stringify({ id, main: window === window.top, origin: location.origin }));
})();
)JS";
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(view);
    webkit_user_content_manager_remove_all_scripts(manager);
    auto add = [&](const std::string& source, WebKitUserContentInjectedFrames frames, const char* world) {
        WebKitUserScript* script =
            world ? webkit_user_script_new_for_world(source.c_str(), frames, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START,
                                                     world, nullptr, nullptr)
                  : webkit_user_script_new(source.c_str(), frames, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START,
                                           nullptr, nullptr);
        webkit_user_content_manager_add_script(manager, script);
        webkit_user_script_unref(script);
    };
    add(standIn, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, BrowserSession::worldName);
    add(BrowserSession::agentScript(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, BrowserSession::worldName);
    add(BrowserSession::requestWatcherScript(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, nullptr);
    add(BrowserSession::listenerScript(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, nullptr);
    add(BrowserSession::consoleScript(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, nullptr);
}

inline std::vector<std::string> refsOf(const PageSnapshot& snapshot) {
    std::vector<std::string> refs;
    for (const auto& element : snapshot.elements) refs.push_back(element.ref);
    return refs;
}

inline std::vector<std::string> namesOf(const PageSnapshot& snapshot) {
    std::vector<std::string> names;
    for (const auto& element : snapshot.elements) names.push_back(element.name);
    return names;
}

inline bool allDistinct(std::vector<std::string> values) {
    std::sort(values.begin(), values.end());
    return std::adjacent_find(values.begin(), values.end()) == values.end();
}

inline std::shared_ptr<BrowserSession> actionSession() {
    BrowserSession::Options options;
    options.settleTimeout = seconds(2);
    return BrowserSession::create(options);
}

// The ref of the element with that role and name; fails the test without one.
inline std::string refOf(const PageSnapshot& snapshot, const std::string& role, const std::string& name) {
    for (const auto& element : snapshot.elements) {
        if (element.role == role && element.name == name) return element.ref;
    }
    ADD_FAILURE() << "no " << role << " named \"" << name << "\" in the snapshot of " << snapshot.url;
    return "e0";
}

// The snapshot, or a later one of the page once it shows the element: a
// navigation answers when the page's own document has settled, and on a busy
// machine its frames may still be loading then.
inline PageSnapshot snapshotShowing(BrowserSession& session, PageSnapshot snapshot, const std::string& role,
                                    const std::string& name) {
    auto shows = [&] {
        return std::any_of(snapshot.elements.begin(), snapshot.elements.end(),
                           [&](const PageElement& element) { return element.role == role && element.name == name; });
    };
    spinUntil([&] {
        if (!shows()) snapshot = runTask(session.scan());
        return shows();
    });
    return snapshot;
}

inline std::vector<std::string> namesIn(const std::vector<PageElement>& elements) {
    std::vector<std::string> names;
    for (const auto& element : elements) names.push_back(element.name);
    return names;
}

inline bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The text of the session's error that ends the task; fails the test when it
// succeeds.
template <typename T>
std::string errorOf(Task<T> task, Duration deadline = seconds(20)) {
    try {
        runTask(std::move(task), deadline);
    } catch (const BrowserError& error) {
        return error.description();
    }
    ADD_FAILURE() << "the operation did not fail";
    return {};
}

inline FlowStep stepOf(FlowStep::Action action, std::optional<std::string> value = std::nullopt,
                       std::optional<bool> absent = std::nullopt, std::optional<std::string> status = std::nullopt) {
    FlowStep step;
    step.action = action;
    step.value = std::move(value);
    step.absent = absent;
    step.status = std::move(status);
    return step;
}

// The session's error that ends the task; fails the test when it succeeds.
template <typename T>
std::optional<BrowserError> browserErrorOf(Task<T> task) {
    try {
        runTask(std::move(task));
    } catch (const BrowserError& error) {
        return error;
    }
    ADD_FAILURE() << "the operation did not fail with a browser error";
    return std::nullopt;
}

// Runs the task, noting each label `waitingFor` takes while it runs.
template <typename T>
T runNotingLabels(BrowserSession& session, Task<T> task, std::vector<std::string>& labels) {
    EXPECT_TRUE(spinUntil([&] {
        if (session.waitingFor && (labels.empty() || labels.back() != *session.waitingFor)) {
            labels.push_back(*session.waitingFor);
        }
        return task.isDone();
    }));
    return task.result();
}

} // namespace vesk::test
