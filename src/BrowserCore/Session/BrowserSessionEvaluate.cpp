// Script evaluation and screenshots of the active window.

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Session/WebKitCallError.h"
#include "BrowserCore/PageAgent/FrameChannel.h"

#include "Platform/Async.h"

namespace vesk {

namespace {

WebKitWebView* viewWithPage(WebKitWebView* view) {
    const char* uri = webkit_web_view_get_uri(view);
    if (!uri || !*uri) throw BrowserError::noPage();
    return view;
}

} // namespace

Task<std::optional<std::string>> BrowserSession::evaluate(std::string script) {
    GRef<WebKitWebView> view = GRef<WebKitWebView>::retain(viewWithPage(activeView()));
    agentActs = true;
    // The script is the body of an async function, run in the page's own
    // world so that it sees the page's globals. The web process extension
    // runs it and awaits it with built-ins of its own, and writes its value
    // as JSON, so whatever the page did to its own cannot stall or forge the answer.
    auto answer = co_await sendToFrame(view.get(), webkit_user_message_new("vesk.evaluate", g_variant_new("(s)", script.c_str())));
    switch (answer.outcome) {
    case 0:
        co_return answer.text;
    case 1:
        co_return std::nullopt;
    default:
        throw BrowserError::script(answer.text);
    }
}

Task<std::vector<std::uint8_t>> BrowserSession::screenshot() {
    GRef<WebKitWebView> view = GRef<WebKitWebView>::retain(viewWithPage(activeView()));
    auto result = co_await gAsync([&](GAsyncReadyCallback callback, gpointer data) {
        webkit_web_view_get_snapshot(view.get(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
                                     callback, data);
    });
    GError* error = nullptr;
    GdkTexture* texture = webkit_web_view_get_snapshot_finish(view.get(), result.get(), &error);
    if (error) {
        WebKitCallError failure(error);
        g_error_free(error);
        throw failure;
    }
    GBytes* png = texture ? gdk_texture_save_to_png_bytes(texture) : nullptr;
    g_clear_object(&texture);
    gsize size = 0;
    const auto* data = png ? static_cast<const std::uint8_t*>(g_bytes_get_data(png, &size)) : nullptr;
    if (!data || size == 0) {
        if (png) g_bytes_unref(png);
        throw BrowserError::script("The window could not be drawn");
    }
    std::vector<std::uint8_t> bytes(data, data + size);
    g_bytes_unref(png);
    co_return bytes;
}

} // namespace vesk
