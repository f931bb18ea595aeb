// Script evaluation and screenshots of the active window.

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Session/WebKitCallError.h"

#include "Platform/Async.h"

namespace vesk {

namespace {

// The agent's script is the body of an async function whose value is
// reported as JSON text.
constexpr const char* scriptBefore = "const result = await (async () => {\n";
constexpr const char* scriptAfter = "\n})(); return result === undefined ? null : JSON.stringify(result);";

WebKitWebView* viewWithPage(WebKitWebView* view) {
    const char* uri = webkit_web_view_get_uri(view);
    if (!uri || !*uri) throw BrowserError::noPage();
    return view;
}

} // namespace

Task<std::optional<std::string>> BrowserSession::evaluate(std::string script) {
    GRef<WebKitWebView> view = GRef<WebKitWebView>::retain(viewWithPage(activeView()));
    std::string body = scriptBefore + script + scriptAfter;

    // No world: the page's own, so the script sees the page's globals.
    auto result = co_await gAsync([&](GAsyncReadyCallback callback, gpointer data) {
        webkit_web_view_call_async_javascript_function(view.get(), body.c_str(), static_cast<gssize>(body.size()),
                                                       nullptr, nullptr, nullptr, nullptr, callback, data);
    });
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_call_async_javascript_function_finish(view.get(), result.get(), &error);
    if (error) {
        std::string message = error->message ? error->message : "";
        g_error_free(error);
        throw BrowserError::script(message);
    }
    std::optional<std::string> text;
    if (value && jsc_value_is_string(value)) {
        char* raw = jsc_value_to_string(value);
        text = raw;
        g_free(raw);
    }
    g_clear_object(&value);
    co_return text;
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
