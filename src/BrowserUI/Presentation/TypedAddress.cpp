#include "BrowserUI/Presentation/TypedAddress.h"

#include "BrowserCore/Session/BrowserSession.h"
#include "Platform/Text.h"

#include <glib.h>
#include <unicode/uchar.h>

namespace vesk::ui {

namespace {

bool isBlankOrTab(int32_t c) {
    return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR;
}

// A URL as written holds only the characters of RFC 3986 (letters beyond
// ASCII aside, which the page loader encodes itself), and a "%" only as the
// start of an escape: a blank, a quote or a stray "%" makes the text no URL,
// though GUri would quietly take some of them. What the parts say (a port
// that is no number, say) is for the page loader to refuse.
bool parsesAsURL(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80 || g_ascii_isalnum(c)) continue;
        if (c == '%') {
            if (at + 2 >= text.size() || !g_ascii_isxdigit(text[at + 1]) || !g_ascii_isxdigit(text[at + 2])) {
                return false;
            }
            continue;
        }
        if (std::string_view("-._~:/?#[]@!$&'()*+,;=").find(static_cast<char>(c)) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::string> typedAddress(std::string_view text) {
    std::string trimmed(text::trimmed(text, isBlankOrTab));
    if (trimmed.empty()) return std::nullopt;
    std::string candidate = trimmed;
    bool hasScheme = trimmed.find("://") != std::string::npos || trimmed.starts_with("about:") ||
                     trimmed.starts_with("data:");
    if (!hasScheme) candidate = "https://" + trimmed;
    if (!parsesAsURL(candidate)) throw BrowserError::invalidURL(trimmed);
    return candidate;
}

Task<void> openAddress(BrowserSession& session, std::string text) {
    auto address = typedAddress(text);
    if (!address) co_return;
    auto keep = session.shared_from_this();
    static_cast<void>(co_await session.navigate(*address));
}

} // namespace vesk::ui
