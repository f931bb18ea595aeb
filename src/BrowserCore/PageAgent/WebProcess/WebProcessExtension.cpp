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
//   threw (the message), 3 = the frame no longer exists.
//
// Only code in the "Vesk" world and the UI process can reach any of this;
// page scripts cannot.

#include <webkit/webkit-web-process-extension.h>

#include <string>
#include <unordered_map>

namespace {

constexpr const char* worldName = "Vesk";
constexpr const char* callMessage = "vesk.agent-call";
constexpr const char* pageCallMessage = "vesk.page-call";

enum Outcome : guint32 { answeredText = 0, answeredOther = 1, threw = 2, frameGone = 3 };

WebKitScriptWorld* world = nullptr;
std::unordered_map<guint64, WebKitFrame*> frames;

void forgetFrame(gpointer id, GObject*) {
    frames.erase(GPOINTER_TO_SIZE(id));
}

void onWindowObjectCleared(WebKitScriptWorld*, WebKitWebPage*, WebKitFrame* frame, gpointer) {
    guint64 id = webkit_frame_get_id(frame);
    if (!frames.contains(id)) {
        frames[id] = frame;
        g_object_weak_ref(G_OBJECT(frame), forgetFrame, GSIZE_TO_POINTER(id));
    }
    JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, world);
    auto text = std::to_string(id);
    JSCValue* value = jsc_value_new_string(context, text.c_str());
    jsc_context_set_value(context, "__veskFrameId", value);
    g_object_unref(value);
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

void callPage(WebKitUserMessage* message) {
    guint64 id = 0;
    const char* body = nullptr;
    g_variant_get(webkit_user_message_get_parameters(message), "(t&s)", &id, &body);

    auto found = frames.find(id);
    if (found == frames.end()) {
        reply(message, frameGone, "The frame no longer exists.");
        return;
    }
    JSCContext* context = webkit_frame_get_js_context(found->second);
    std::string source = std::string("(function () {\n") + body + "\n})()";
    JSCValue* value = jsc_context_evaluate(context, source.c_str(), -1);
    if (JSCException* exception = jsc_context_get_exception(context)) {
        reply(message, threw, jsc_exception_get_message(exception));
        jsc_context_clear_exception(context);
    } else {
        char* json = value && !jsc_value_is_undefined(value) && !jsc_value_is_null(value) ? jsc_value_to_json(value, 0)
                                                                                          : nullptr;
        // A value JSON cannot carry (a BigInt, a cycle) may leave an exception behind.
        jsc_context_clear_exception(context);
        reply(message, json ? answeredText : answeredOther, json);
        g_free(json);
    }
    g_clear_object(&value);
    g_object_unref(context);
}

gboolean onPageMessage(WebKitWebPage*, WebKitUserMessage* message, gpointer) {
    if (g_strcmp0(webkit_user_message_get_name(message), pageCallMessage) == 0) {
        GVariant* parameters = webkit_user_message_get_parameters(message);
        if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ts)"))) {
            reply(message, threw, "The call was malformed.");
        } else {
            callPage(message);
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
    g_signal_connect(page, "user-message-received", G_CALLBACK(onPageMessage), nullptr);
}

} // namespace

extern "C" G_MODULE_EXPORT void webkit_web_process_extension_initialize(WebKitWebProcessExtension* extension) {
    world = webkit_script_world_new_with_name(worldName);
    g_signal_connect(world, "window-object-cleared", G_CALLBACK(onWindowObjectCleared), nullptr);
    g_signal_connect(extension, "page-created", G_CALLBACK(onPageCreated), nullptr);
}
