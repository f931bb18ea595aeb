// The page agent bridge: the one road by which a command reaches the page
// agent. The main frame is called directly through WebKit; a subframe is
// reached through the web process extension, which runs the command in that
// frame's "Vesk" world and sends the reply back.

#include "BrowserCore/PageAgent/AgentEnvelope.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/PageAgent/FrameChannel.h"
#include "BrowserCore/PageAgent/FrameGone.h"
#include "Platform/Async.h"

#include <gio/gio.h>

namespace vesk {

namespace {

using nlohmann::json;

GVariant* toVariant(const json& value) {
    switch (value.type()) {
    case json::value_t::string:
        return g_variant_new_string(value.get_ref<const std::string&>().c_str());
    case json::value_t::boolean:
        return g_variant_new_boolean(value.get<bool>());
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
        return g_variant_new_int64(value.get<std::int64_t>());
    case json::value_t::number_float:
        return g_variant_new_double(value.get<double>());
    case json::value_t::object: {
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
        for (const auto& [key, item] : value.items()) {
            g_variant_builder_add(&builder, "{sv}", key.c_str(), toVariant(item));
        }
        return g_variant_builder_end(&builder);
    }
    case json::value_t::array: {
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE("av"));
        for (const auto& item : value) {
            g_variant_builder_add(&builder, "v", toVariant(item));
        }
        return g_variant_builder_end(&builder);
    }
    default:
        // The page agent's arguments are texts and numbers; anything else
        // travels as an empty text rather than failing the call.
        return g_variant_new_string("");
    }
}

// The outcomes the web process extension replies with.
enum class SubframeOutcome : guint32 { answeredText = 0, answeredOther = 1, threw = 2, frameGone = 3 };

struct CallReply {
    std::optional<std::string> text;  // the envelope's text, when the agent answered with a text
};

Task<CallReply> callMainFrame(WebKitWebView* view, const std::string& command, const json& args) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&builder, "{sv}", "command", g_variant_new_string(command.c_str()));
    g_variant_builder_add(&builder, "{sv}", "args", toVariant(args));
    GVariant* arguments = g_variant_builder_end(&builder);

    GRef<WebKitWebView> keep = GRef<WebKitWebView>::retain(view);
    auto result = co_await gAsync([&](GAsyncReadyCallback callback, gpointer data) {
        webkit_web_view_call_async_javascript_function(view, "return __agent.call(command, args)", -1, arguments,
                                                       BrowserSession::worldName, nullptr, nullptr, callback, data);
    });
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_call_async_javascript_function_finish(view, result.get(), &error);
    if (error) {
        std::string message = error->message;
        g_error_free(error);
        throw BrowserError::script(message);
    }
    CallReply reply;
    if (value && jsc_value_is_string(value)) {
        char* text = jsc_value_to_string(value);
        reply.text = text;
        g_free(text);
    }
    g_clear_object(&value);
    co_return reply;
}

Task<CallReply> callSubframe(WebKitWebView* view, const FrameInfo& frame, const std::string& command, const json& args) {
    WebKitUserMessage* message = webkit_user_message_new(
        "vesk.agent-call", g_variant_new("(tss)", webProcessFrameID(frame), command.c_str(), args.dump().c_str()));
    auto [outcome, body] = co_await sendToFrame(view, message);
    CallReply reply;
    switch (static_cast<SubframeOutcome>(outcome)) {
    case SubframeOutcome::answeredText:
        reply.text = body;
        break;
    case SubframeOutcome::answeredOther:
        break;
    case SubframeOutcome::frameGone:
        throw FrameGone();
    case SubframeOutcome::threw:
    default:
        throw BrowserError::script(body);
    }
    co_return reply;
}

} // namespace

Task<std::optional<json>> BrowserSession::agentCall(std::string command, json args, std::optional<FrameInfo> frame) {
    // A command about a ref goes to the frame that owns the ref.
    if (!frame) {
        if (auto ref = args.find("ref"); ref != args.end() && ref->is_string()) {
            frame = frameForRef(ref->get<std::string>());
        }
    }
    WebKitWebView* view = activeView();
    const char* uri = webkit_web_view_get_uri(view);
    if (!uri || !*uri) throw BrowserError::noPage();

    CallReply reply;
    if (frame && !frame->isMain) {
        reply = co_await callSubframe(view, *frame, command, args);
    } else {
        reply = co_await callMainFrame(view, command, args);
    }
    co_return openEnvelope(command, reply.text);
}

Task<std::optional<json>> BrowserSession::agentCallIn(WebKitWebView* view, std::string command, json args) {
    CallReply reply = co_await callMainFrame(view, command, args);
    co_return openEnvelope(command, reply.text);
}

Task<std::optional<json>> BrowserSession::answerInTime(std::function<Task<std::optional<json>>()> call) {
    co_return co_await race(std::move(call), [this]() -> Task<std::optional<json>> {
        co_await sleepFor(options->frameTimeout);
        co_return std::nullopt;
    });
}

std::optional<FrameInfo> BrowserSession::frameForRef(const std::string& ref) const {
    auto window = refFrames->find(activeWindowID());
    if (window == refFrames->end()) return std::nullopt;
    auto found = window->second.find(ref);
    if (found == window->second.end()) return std::nullopt;
    return found->second;
}

// The page agent's messages ----------------------------------------------------

void BrowserSession::receivePageMessage(WebKitWebView* view, const PageMessage& message) {
    if (message.channel == "console") {
        console.receive(message.body, view, message.mainFrame);
    } else if (message.channel == "network") {
        network.receive(message.body, view, message.mainFrame);
    } else if (message.channel == "person") {
        // A popup's or a subframe's action would act on the wrong element
        // when replayed in the page's main frame.
        if (message.mainFrame && view == page->get()) person.receive(message.body);
    } else if (message.channel == "frame") {
        frames.receive(message.body, view, message.frame, message.mainFrame);
    }
}

void PersonListener::receive(const nlohmann::json& body) const {
    if (body.is_string() && report) report(body.get<std::string>());
}

void FrameListener::receive(const nlohmann::json& body, WebKitWebView* sender, const std::string& frame,
                            bool mainFrame) {
    if (!body.is_string() || !sender) return;
    if (mainFrame) {
        // A new main document forgets the subframes of the old one.
        known.erase(sender);
        return;
    }
    // The origin is read by the page agent's isolated world from the frame's
    // own location; the text "null" (an opaque origin) gives no host.
    json announcement = json::parse(body.get<std::string>(), nullptr, false);
    FrameInfo info;
    info.id = frame;
    info.view = sender;
    info.isMain = false;
    if (auto origin = announcement.is_object() ? announcement.find("origin") : announcement.end();
        announcement.is_object() && origin != announcement.end() && origin->is_string()) {
        if (GUri* uri = g_uri_parse(origin->get_ref<const std::string&>().c_str(), G_URI_FLAGS_NONE, nullptr)) {
            info.scheme = g_uri_get_scheme(uri) ? g_uri_get_scheme(uri) : "";
            info.host = g_uri_get_host(uri) ? g_uri_get_host(uri) : "";
            info.port = std::max(g_uri_get_port(uri), 0);
            g_uri_unref(uri);
        }
    }
    known[sender].push_back({info.id, info});
}

} // namespace vesk
