#include "WebViewHarness.h"

#include "MainLoop.h"

#include <stdexcept>

namespace vesk::test {

WebViewHarness::WebViewHarness() {
    if (!gtk_is_initialized()) throw std::runtime_error("a web view needs a display: run the test in scripts/test-session");
    manager_ = webkit_user_content_manager_new();
    session_ = webkit_network_session_new_ephemeral();
    view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", manager_, "network-session",
                                         session_, nullptr));
    g_object_ref_sink(view_);
    window_ = GTK_WINDOW(gtk_window_new());
    gtk_window_set_default_size(window_, 1024, 768);
    gtk_window_set_child(window_, GTK_WIDGET(view_));
    gtk_window_present(window_);
}

WebViewHarness::~WebViewHarness() {
    for (auto& handler : handlers_) g_signal_handler_disconnect(manager_, handler->id);
    gtk_window_destroy(window_);
    g_object_unref(view_);
    g_object_unref(session_);
    g_object_unref(manager_);
}

void WebViewHarness::addScript(const std::string& source, bool allFrames, const char* world) {
    auto frames = allFrames ? WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES : WEBKIT_USER_CONTENT_INJECT_TOP_FRAME;
    WebKitUserScript* script =
        world ? webkit_user_script_new_for_world(source.c_str(), frames, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START,
                                                 world, nullptr, nullptr)
              : webkit_user_script_new(source.c_str(), frames, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr,
                                       nullptr);
    webkit_user_content_manager_add_script(manager_, script);
    webkit_user_script_unref(script);
}

void WebViewHarness::onMessage(const std::string& name, const char* world, std::function<void(JSCValue*)> handler) {
    auto entry = std::make_unique<Handler>();
    entry->function = std::move(handler);
    std::string signal = "script-message-received::" + name;
    entry->id = g_signal_connect(manager_, signal.c_str(),
                                 G_CALLBACK(+[](WebKitUserContentManager*, JSCValue* body, Handler* h) { h->function(body); }),
                                 entry.get());
    handlers_.push_back(std::move(entry));
    webkit_user_content_manager_register_script_message_handler(manager_, name.c_str(), world);
}

bool WebViewHarness::load(const std::string& url, Duration deadline) {
    struct State {
        bool finished = false;
        bool failed = false;
    } state;
    gulong changed = g_signal_connect(view_, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, State* s) {
                                          if (event == WEBKIT_LOAD_FINISHED) s->finished = true;
                                      }),
                                      &state);
    gulong failed = g_signal_connect(view_, "load-failed",
                                     G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent, char*, GError*, State* s) -> gboolean {
                                         s->failed = true;
                                         return FALSE;
                                     }),
                                     &state);
    webkit_web_view_load_uri(view_, url.c_str());
    bool done = spinUntil([&] { return state.finished; }, deadline);
    g_signal_handler_disconnect(view_, changed);
    g_signal_handler_disconnect(view_, failed);
    return done && !state.failed;
}

nlohmann::json WebViewHarness::call(const std::string& body, const char* world, Duration deadline) {
    // Shared with the callback, which may come after a missed deadline.
    struct Outcome {
        bool done = false;
        std::string json;
        std::string error;
    };
    auto outcome = std::make_shared<Outcome>();
    webkit_web_view_call_async_javascript_function(
        view_, body.c_str(), -1, nullptr, world, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<Outcome>> holder(static_cast<std::shared_ptr<Outcome>*>(data));
            Outcome& o = **holder;
            GError* error = nullptr;
            JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source), result, &error);
            if (error) {
                o.error = error->message;
                g_error_free(error);
            } else {
                char* json = jsc_value_is_undefined(value) ? nullptr : jsc_value_to_json(value, 0);
                o.json = json ? json : "null";
                g_free(json);
            }
            if (value) g_object_unref(value);
            o.done = true;
        },
        new std::shared_ptr<Outcome>(outcome));
    if (!spinUntil([&] { return outcome->done; }, deadline)) throw std::runtime_error("the page did not answer in time");
    if (!outcome->error.empty()) throw std::runtime_error(outcome->error);
    return nlohmann::json::parse(outcome->json);
}

} // namespace vesk::test
