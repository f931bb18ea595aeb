#include "BrowserCore/PageAgent/PageMessage.h"

#include <string_view>

namespace vesk {

std::optional<PageMessage> PageMessage::from(WebKitUserMessage* message) {
    if (!message || std::string_view(webkit_user_message_get_name(message)) != "vesk.post") return std::nullopt;
    GVariant* parameters = webkit_user_message_get_parameters(message);
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(tsbs)"))) return std::nullopt;
    guint64 frame = 0;
    const char* channel = nullptr;
    gboolean mainFrame = FALSE;
    const char* body = nullptr;
    g_variant_get(parameters, "(t&sb&s)", &frame, &channel, &mainFrame, &body);
    auto json = nlohmann::json::parse(body, nullptr, false);
    if (json.is_discarded()) return std::nullopt;
    return PageMessage{std::to_string(frame), mainFrame != FALSE, channel, std::move(json)};
}

} // namespace vesk
