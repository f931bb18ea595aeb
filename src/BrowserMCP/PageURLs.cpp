#include "BrowserMCP/PageRendering.h"

#include "Platform/Text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace vesk::PageRendering {

namespace {

constexpr std::size_t authorityLimit = 260;
constexpr std::size_t shortRestLimit = 48;
constexpr std::size_t titleLimit = 120;
constexpr std::size_t headerRestLimit = 200;

// A scheme is made of letters, numbers, "+", "-" and "."; a combining mark
// belongs to the character before it.
bool isScheme(std::string_view scheme) {
    if (scheme.empty()) return false;
    const auto* data = reinterpret_cast<const uint8_t*>(scheme.data());
    const auto length = static_cast<int32_t>(scheme.size());
    int32_t i = 0;
    bool first = true;
    while (i < length) {
        UChar32 c;
        U8_NEXT(data, i, length, c);
        if (c < 0) return false;
        const uint32_t category = U_GET_GC_MASK(c);
        const bool allowed = (category & (U_GC_L_MASK | U_GC_N_MASK)) != 0 || c == '+' || c == '-' || c == '.' ||
                             (!first && (category & U_GC_M_MASK) != 0);
        if (!allowed) return false;
        first = false;
    }
    return true;
}

} // namespace

URLParts splitURL(std::string_view url) {
    const std::size_t separator = url.find("://");
    if (separator == std::string_view::npos || !isScheme(url.substr(0, separator))) {
        return {"", std::string(url)};
    }
    const std::size_t authorityStart = separator + 3;
    std::size_t restStart = url.find_first_of("/?#", authorityStart);
    if (restStart == std::string_view::npos) restStart = url.size();
    std::string authority(url.substr(authorityStart, restStart - authorityStart));
    if (text::characterCount(authority) > authorityLimit) {
        authority = "…" + text::suffix(authority, authorityLimit);
    }
    return {std::string(url.substr(0, authorityStart)) + authority, std::string(url.substr(restStart))};
}

std::string shortURL(std::string_view url, std::string_view base) {
    URLParts parts = splitURL(url);
    if (parts.rest.empty()) return parts.origin;
    if (parts.origin == splitURL(base).origin) parts.origin.clear();
    const std::size_t query = parts.rest.find_first_of("?#");
    if (query != std::string::npos) {
        parts.rest.resize(query);
        parts.rest += "…";
    }
    return parts.origin + text::cut(parts.rest, shortRestLimit);
}

std::string pageHeader(std::string_view title, std::string_view url) {
    const URLParts parts = splitURL(url);
    return "Page: " + PageRendering::quoted(text::cut(title, titleLimit)) + "\nURL: " + parts.origin +
           text::cut(parts.rest, headerRestLimit);
}

} // namespace vesk::PageRendering
