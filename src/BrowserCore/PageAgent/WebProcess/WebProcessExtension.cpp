// Runs inside each WebKit web process. The UI process has no way to run a
// script in a subframe, so this extension does it on its behalf:
//
// - When a frame gets a new window object in the "Vesk" world, it sets the
//   global `__veskFrameId` there (the frame's id, as text) before any user
//   script runs, so the page agent can name its frame.
// - It answers the page message "vesk.agent-call" (frame id, command, args
//   as JSON text) by calling `__agent.call(command, args)` in that frame's
//   "Vesk" world, awaiting a returned promise, and replying with
//   (outcome, text): outcome 0 = the agent answered with a text (the text),
//   1 = it answered with something else, 2 = it threw (the message),
//   3 = the frame no longer exists.
// - It answers the page message "vesk.page-call" (frame id, function body)
//   by running the body in that frame's own world, where the page's scripts
//   live, and replying with (outcome, text): 0 = the value as JSON text,
//   1 = a value JSON cannot carry (undefined, null, a function), 2 = it
//   threw (the message), 3 = the frame no longer exists. Frame id 0 is the
//   page's main frame.
// - It answers the page message "vesk.evaluate" (function body) by running
//   the body as an async function in the main frame's own world and
//   replying, once it settles, with (outcome, text) as for "vesk.page-call".
//   Its promise is awaited from the "Vesk" world, whose built-ins no page
//   script reaches, and its value written by JavaScriptCore itself: a page
//   that replaced its own `Promise.prototype.then` or `JSON.stringify`
//   cannot stall the call or change what it answers.
//
// - It carries the messages of the injected scripts to the session, each
//   with the frame it came from and whether that is its page's main frame,
//   as this process knows them: a page script can neither choose nor forge
//   them. In the "Vesk" world, `__veskPost(channel, body)` takes the
//   channels "person" and "frame". In the page's own world, where the
//   console capture and the request watcher run, `__veskConsole(body)` (main
//   frames only) and `__veskNetwork(body)` each post on their one channel;
//   those scripts take them before any page script runs and delete them.
//   The message "vesk.post" carries (frame id, channel, main frame, body as
//   JSON text) to the page's own web view, so a popup's messages reach the
//   popup's view.
//
// Only code in the "Vesk" world and the UI process can reach the rest of
// this; page scripts cannot.

#include <webkit/webkit-web-process-extension.h>

#include <string>
#include <unordered_map>

namespace {

constexpr const char* worldName = "Vesk";
constexpr const char* callMessage = "vesk.agent-call";
constexpr const char* pageCallMessage = "vesk.page-call";
constexpr const char* evaluateMessage = "vesk.evaluate";
constexpr const char* postMessage = "vesk.post";

enum Outcome : guint32 { answeredText = 0, answeredOther = 1, threw = 2, frameGone = 3 };

WebKitScriptWorld* world = nullptr;
std::unordered_map<guint64, WebKitFrame*> frames;
// The id of each page's main frame.
std::unordered_map<WebKitWebPage*, guint64> mainFrames;
std::unordered_map<guint64, WebKitWebPage*> pages;

void forgetFrame(gpointer id, GObject*) {
    frames.erase(GPOINTER_TO_SIZE(id));
}

void forgetPage(gpointer, GObject* page) {
    mainFrames.erase(reinterpret_cast<WebKitWebPage*>(page));
}

void forgetPageID(gpointer id, GObject*) {
    pages.erase(GPOINTER_TO_SIZE(id));
}

guint64 remember(WebKitFrame* frame) {
    guint64 id = webkit_frame_get_id(frame);
    if (!frames.contains(id)) {
        frames[id] = frame;
        g_object_weak_ref(G_OBJECT(frame), forgetFrame, GSIZE_TO_POINTER(id));
    }
    return id;
}

// Where a posting function posts from, and on which channel (empty: the
// channel is its first argument).
struct Poster {
    guint64 page;
    guint64 frame;
    std::string channel;
};

void deletePoster(gpointer data) {
    delete static_cast<Poster*>(data);
}

void post(const Poster& poster, const std::string& channel, JSCValue* body) {
    auto page = pages.find(poster.page);
    auto frame = frames.find(poster.frame);
    if (page == pages.end() || frame == frames.end() || !body) return;
    char* json = jsc_value_to_json(body, 0);
    // A body JSON cannot carry (a cycle, a BigInt) leaves an exception behind.
    JSCContext* context = jsc_value_get_context(body);
    if (context) jsc_context_clear_exception(context);
    if (!json) return;
    GVariant* parameters = g_variant_new("(tsbs)", poster.frame, channel.c_str(),
                                         webkit_frame_is_main_frame(frame->second), json);
    g_free(json);
    webkit_web_page_send_message_to_view(page->second, webkit_user_message_new(postMessage, parameters), nullptr,
                                         nullptr, nullptr);
}

void onPostOnChannel(const char* channel, JSCValue* body, gpointer data) {
    std::string name = channel ? channel : "";
    if (name == "person" || name == "frame") post(*static_cast<Poster*>(data), name, body);
}

void onPost(JSCValue* body, gpointer data) {
    auto* poster = static_cast<Poster*>(data);
    post(*poster, poster->channel, body);
}

void setPoster(JSCContext* context, const char* global, Poster poster) {
    bool anyChannel = poster.channel.empty();
    auto* data = new Poster(std::move(poster));
    JSCValue* function =
        anyChannel ? jsc_value_new_function(context, global, G_CALLBACK(onPostOnChannel), data, deletePoster,
                                            G_TYPE_NONE, 2, G_TYPE_STRING, JSC_TYPE_VALUE)
                   : jsc_value_new_function(context, global, G_CALLBACK(onPost), data, deletePoster, G_TYPE_NONE, 1,
                                            JSC_TYPE_VALUE);
    jsc_context_set_value(context, global, function);
    g_object_unref(function);
}

void onWindowObjectCleared(WebKitScriptWorld*, WebKitWebPage* page, WebKitFrame* frame, gpointer) {
    guint64 id = remember(frame);
    if (webkit_frame_is_main_frame(frame)) {
        if (!mainFrames.contains(page)) g_object_weak_ref(G_OBJECT(page), forgetPage, nullptr);
        mainFrames[page] = id;
    }
    JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, world);
    auto text = std::to_string(id);
    JSCValue* value = jsc_value_new_string(context, text.c_str());
    jsc_context_set_value(context, "__veskFrameId", value);
    g_object_unref(value);
    setPoster(context, "__veskPost", {webkit_web_page_get_id(page), id, ""});
    g_object_unref(context);
}

void onPageWorldCleared(WebKitScriptWorld*, WebKitWebPage* page, WebKitFrame* frame, gpointer) {
    guint64 id = remember(frame);
    JSCContext* context = webkit_frame_get_js_context(frame);
    guint64 pageID = webkit_web_page_get_id(page);
    setPoster(context, "__veskNetwork", {pageID, id, "network"});
    if (webkit_frame_is_main_frame(frame)) setPoster(context, "__veskConsole", {pageID, id, "console"});
    g_object_unref(context);
}

void reply(WebKitUserMessage* message, Outcome outcome, const char* text) {
    GVariant* parameters = g_variant_new("(us)", static_cast<guint32>(outcome), text ? text : "");
    webkit_user_message_send_reply(message,
                                   webkit_user_message_new(webkit_user_message_get_name(message), parameters));
}

// Called from the page with (outcome, text); the message to answer rides
// along as the function's user data and is released with the function.
void onAgentAnswer(guint outcome, const char* text, gpointer data) {
    reply(WEBKIT_USER_MESSAGE(data), static_cast<Outcome>(outcome), text);
}

// Awaits the agent's answer whether or not it is a promise, and hands the
// outcome to `answer` exactly once.
constexpr const char* relay = R"JS(
(function (command, args, answer) {
    Promise.resolve()
        .then(() => __agent.call(command, args))
        .then(value => typeof value === 'string' ? answer(0, value) : answer(1, ''),
              error => answer(2, String(error && error.message !== undefined ? error.message : error)));
})
)JS";

void callAgent(WebKitUserMessage* message) {
    guint64 id = 0;
    const char* command = nullptr;
    const char* argsJSON = nullptr;
    g_variant_get(webkit_user_message_get_parameters(message), "(t&s&s)", &id, &command, &argsJSON);

    auto found = frames.find(id);
    if (found == frames.end()) {
        reply(message, frameGone, "The frame no longer exists.");
        return;
    }
    JSCContext* context = webkit_frame_get_js_context_for_script_world(found->second, world);
    JSCValue* function = jsc_context_evaluate(context, relay, -1);
    JSCValue* args = jsc_value_new_from_json(context, argsJSON);
    JSCValue* answer = jsc_value_new_function(context, "answer", G_CALLBACK(onAgentAnswer), g_object_ref(message),
                                              g_object_unref, G_TYPE_NONE, 2, G_TYPE_UINT, G_TYPE_STRING);
    JSCValue* result = jsc_value_function_call(function, G_TYPE_STRING, command, JSC_TYPE_VALUE, args, JSC_TYPE_VALUE,
                                               answer, G_TYPE_NONE);
    if (JSCException* exception = jsc_context_get_exception(context)) {
        reply(message, threw, jsc_exception_get_message(exception));
        jsc_context_clear_exception(context);
    }
    g_clear_object(&result);
    g_object_unref(answer);
    g_clear_object(&args);
    g_object_unref(function);
    g_object_unref(context);
}

WebKitFrame* frameOf(WebKitWebPage* page, guint64 id) {
    if (id == 0) {
        auto main = mainFrames.find(page);
        if (main == mainFrames.end()) return nullptr;
        id = main->second;
    }
    auto found = frames.find(id);
    return found == frames.end() ? nullptr : found->second;
}

// The value as JSON text, written by JavaScriptCore rather than the page's
// JSON.stringify; none for a value JSON cannot carry.
char* jsonOf(JSCValue* value) {
    if (!value || jsc_value_is_undefined(value) || jsc_value_is_null(value)) return nullptr;
    char* json = jsc_value_to_json(value, 0);
    // A value JSON cannot carry (a BigInt, a cycle) may leave an exception behind.
    jsc_context_clear_exception(jsc_value_get_context(value));
    return json;
}

void callPage(WebKitWebPage* page, WebKitUserMessage* message) {
    guint64 id = 0;
    const char* body = nullptr;
    g_variant_get(webkit_user_message_get_parameters(message), "(t&s)", &id, &body);

    WebKitFrame* frame = frameOf(page, id);
    if (!frame) {
        reply(message, frameGone, "The frame no longer exists.");
        return;
    }
    JSCContext* context = webkit_frame_get_js_context(frame);
    std::string source = std::string("(function () {\n") + body + "\n})()";
    JSCValue* value = jsc_context_evaluate(context, source.c_str(), -1);
    if (JSCException* exception = jsc_context_get_exception(context)) {
        reply(message, threw, jsc_exception_get_message(exception));
        jsc_context_clear_exception(context);
    } else {
        char* json = jsonOf(value);
        reply(message, json ? answeredText : answeredOther, json);
        g_free(json);
    }
    g_clear_object(&value);
    g_object_unref(context);
}

// What an evaluation settled with, handed over from the "Vesk" world; the
// message to answer rides along as the function's user data.
void onSettled(guint outcome, JSCValue* value, gpointer data) {
    auto* message = WEBKIT_USER_MESSAGE(data);
    if (outcome == threw) {
        char* text = jsc_value_is_string(value) ? jsc_value_to_string(value) : nullptr;
        reply(message, threw, text ? text : "The script failed.");
        g_free(text);
        return;
    }
    // Unlike a page call's, an evaluation's null is a value of its own.
    char* json = jsc_value_is_null(value) ? g_strdup("null") : jsonOf(value);
    reply(message, json ? answeredText : answeredOther, json);
    g_free(json);
}

// Awaits a promise of the page's world with this world's own `then`, and
// hands its outcome to `settle` exactly once. An error's text is read here
// too, where a page's getter that throws cannot lose the answer.
constexpr const char* awaiter = R"JS(
(function (promise, settle) {
    const describe = error => {
        try {
            return String(error instanceof Object && 'message' in error ? error.message : error);
        } catch (e) {
            return 'The script threw something that cannot be shown.';
        }
    };
    Promise.prototype.then.call(promise, value => settle(0, value), error => settle(2, describe(error)));
})
)JS";

void evaluate(WebKitWebPage* page, WebKitUserMessage* message) {
    const char* body = nullptr;
    g_variant_get(webkit_user_message_get_parameters(message), "(&s)", &body);
    WebKitFrame* frame = frameOf(page, 0);
    if (!frame) {
        reply(message, frameGone, "The page has no document yet.");
        return;
    }
    JSCContext* context = webkit_frame_get_js_context(frame);
    std::string source = std::string("(async () => {\n") + body + "\n})()";
    JSCValue* promise = jsc_context_evaluate(context, source.c_str(), -1);
    if (JSCException* exception = jsc_context_get_exception(context)) {
        reply(message, threw, jsc_exception_get_message(exception));
        jsc_context_clear_exception(context);
        g_clear_object(&promise);
        g_object_unref(context);
        return;
    }
    JSCContext* own = webkit_frame_get_js_context_for_script_world(frame, world);
    JSCValue* function = jsc_context_evaluate(own, awaiter, -1);
    JSCValue* settle = jsc_value_new_function(own, "settle", G_CALLBACK(onSettled), g_object_ref(message),
                                              g_object_unref, G_TYPE_NONE, 2, G_TYPE_UINT, JSC_TYPE_VALUE);
    JSCValue* result = jsc_value_function_call(function, JSC_TYPE_VALUE, promise, JSC_TYPE_VALUE, settle, G_TYPE_NONE);
    if (JSCException* exception = jsc_context_get_exception(own)) {
        reply(message, threw, jsc_exception_get_message(exception));
        jsc_context_clear_exception(own);
    }
    g_clear_object(&result);
    g_object_unref(settle);
    g_object_unref(function);
    g_object_unref(own);
    g_object_unref(promise);
    g_object_unref(context);
}

gboolean onPageMessage(WebKitWebPage* page, WebKitUserMessage* message, gpointer) {
    if (g_strcmp0(webkit_user_message_get_name(message), pageCallMessage) == 0) {
        GVariant* parameters = webkit_user_message_get_parameters(message);
        if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ts)"))) {
            reply(message, threw, "The call was malformed.");
        } else {
            callPage(page, message);
        }
        return TRUE;
    }
    if (g_strcmp0(webkit_user_message_get_name(message), evaluateMessage) == 0) {
        GVariant* parameters = webkit_user_message_get_parameters(message);
        if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(s)"))) {
            reply(message, threw, "The script was malformed.");
        } else {
            evaluate(page, message);
        }
        return TRUE;
    }
    if (g_strcmp0(webkit_user_message_get_name(message), callMessage) != 0) return FALSE;
    GVariant* parameters = webkit_user_message_get_parameters(message);
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(tss)"))) {
        reply(message, threw, "The command was malformed.");
        return TRUE;
    }
    callAgent(message);
    return TRUE;
}

void onPageCreated(WebKitWebProcessExtension*, WebKitWebPage* page, gpointer) {
    guint64 id = webkit_web_page_get_id(page);
    pages[id] = page;
    g_object_weak_ref(G_OBJECT(page), forgetPageID, GSIZE_TO_POINTER(id));
    g_signal_connect(page, "user-message-received", G_CALLBACK(onPageMessage), nullptr);
}

} // namespace

extern "C" G_MODULE_EXPORT void webkit_web_process_extension_initialize(WebKitWebProcessExtension* extension) {
    world = webkit_script_world_new_with_name(worldName);
    g_signal_connect(world, "window-object-cleared", G_CALLBACK(onWindowObjectCleared), nullptr);
    g_signal_connect(webkit_script_world_get_default(), "window-object-cleared", G_CALLBACK(onPageWorldCleared),
                     nullptr);
    g_signal_connect(extension, "page-created", G_CALLBACK(onPageCreated), nullptr);
}
