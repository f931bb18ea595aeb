#include "BrowserUI/Presentation/AddressText.h"

#include <glib.h>

namespace vesk::ui {

namespace {

struct Parts {
    std::string scheme;
    std::optional<std::string> host;
    std::string path;
    std::optional<std::string> query;
};

// The URL split as written, escapes kept. A text GUri cannot split gives
// its scheme (if any) and nothing else.
Parts split(std::string_view url) {
    Parts parts;
    std::string text(url);
    char *scheme = nullptr, *host = nullptr, *path = nullptr, *query = nullptr;
    if (g_uri_split(text.c_str(), G_URI_FLAGS_ENCODED, &scheme, nullptr, &host, nullptr, &path, &query, nullptr,
                    nullptr)) {
        if (host && *host) parts.host = host;
        if (path) parts.path = path;
        if (query) parts.query = query;
    }
    if (scheme) parts.scheme = scheme;
    else if (const char* peeked = g_uri_peek_scheme(text.c_str())) parts.scheme = peeked;
    g_free(scheme);
    g_free(host);
    g_free(path);
    g_free(query);
    return parts;
}

} // namespace

FormattedAddress formattedAddress(std::string_view url) {
    Parts parts = split(url);
    if (!parts.host) return {parts.scheme, ":"};
    std::string rest = parts.path;
    if (parts.query) rest += "?" + *parts.query;
    return {*parts.host, rest};
}

std::optional<std::string> hostOf(std::string_view url) {
    return split(url).host;
}

} // namespace vesk::ui
