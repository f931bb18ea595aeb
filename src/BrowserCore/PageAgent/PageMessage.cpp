#include "BrowserCore/PageAgent/PageMessage.h"

#include <string_view>

namespace vesk {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The UTF-16 unit of the escape "\uXXXX" at `at`, or -1.
int escapedUnit(std::string_view text, std::size_t at) {
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return -1;
    int unit = 0;
    for (std::size_t i = at + 2; i < at + 6; ++i) {
        int digit = hexValue(text[i]);
        if (digit < 0) return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

// JSON as JavaScriptCore writes it, with each escaped lone surrogate (half of
// a character that a page cut in two) made U+FFFD, which a JSON reader takes.
std::string withLoneSurrogatesReplaced(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != '\\') {
            out += text[i++];
            continue;
        }
        int unit = escapedUnit(text, i);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            int low = escapedUnit(text, i + 6);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out.append(text.substr(i, 12));
                i += 12;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            out += "\\uFFFD";
            i += 6;
            continue;
        }
        // Any other escape is copied whole, so an escaped backslash is
        // never read as the start of another.
        out.append(text.substr(i, 2));
        i += 2;
    }
    return out;
}

} // namespace

std::optional<PageMessage> PageMessage::from(WebKitUserMessage* message) {
    if (!message || std::string_view(webkit_user_message_get_name(message)) != "vesk.post") return std::nullopt;
    GVariant* parameters = webkit_user_message_get_parameters(message);
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(tsbs)"))) return std::nullopt;
    guint64 frame = 0;
    const char* channel = nullptr;
    gboolean mainFrame = FALSE;
    const char* body = nullptr;
    g_variant_get(parameters, "(t&sb&s)", &frame, &channel, &mainFrame, &body);
    auto json = nlohmann::json::parse(withLoneSurrogatesReplaced(body), nullptr, false);
    if (json.is_discarded()) return std::nullopt;
    return PageMessage{std::to_string(frame), mainFrame != FALSE, channel, std::move(json)};
}

} // namespace vesk
