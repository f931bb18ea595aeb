#include "BrowserCore/PageAgent/FrameChannel.h"

#include "BrowserCore/Errors/BrowserError.h"
#include "Platform/Async.h"
#include "Platform/GRef.h"

namespace vesk {

std::uint64_t webProcessFrameID(const FrameInfo& frame) {
    return g_ascii_strtoull(frame.id.c_str(), nullptr, 10);
}

Task<FrameAnswerText> sendToFrame(WebKitWebView* view, WebKitUserMessage* message) {
    GRef<WebKitWebView> keep = GRef<WebKitWebView>::retain(view);
    auto result = co_await gAsync([&](GAsyncReadyCallback callback, gpointer data) {
        webkit_web_view_send_message_to_page(view, message, nullptr, callback, data);
    });
    GError* error = nullptr;
    WebKitUserMessage* answer = webkit_web_view_send_message_to_page_finish(view, result.get(), &error);
    if (error) {
        std::string text = error->message;
        g_error_free(error);
        throw BrowserError::script(text);
    }
    auto owned = GRef<WebKitUserMessage>::adopt(answer);
    GVariant* parameters = webkit_user_message_get_parameters(answer);
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
        throw BrowserError::script("The frame sent back a malformed reply.");
    }
    FrameAnswerText reply;
    const char* text = nullptr;
    g_variant_get(parameters, "(u&s)", &reply.outcome, &text);
    reply.text = text;
    co_return reply;
}

} // namespace vesk
