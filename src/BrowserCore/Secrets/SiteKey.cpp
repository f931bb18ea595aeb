#include "BrowserCore/Secrets/SiteKey.h"

#include "Platform/Text.h"

#include <glib.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <memory>

namespace vesk {

namespace {

std::string lowercased(std::string_view text) {
    auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    std::string out;
    unicode.toLower(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

// Blanks and control characters cannot be part of a host name; GUri lets
// some through, and a key holding them would never match a page.
bool isUsableHost(std::string_view host) {
    for (unsigned char c : host) {
        if (c <= 0x20 || c == 0x7F) return false;
    }
    return true;
}

bool isTrimmed(UChar32 c) {
    return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR;
}

std::string_view trimmed(std::string_view text) {
    return text::trimmed(text, [](int32_t c) { return isTrimmed(c); });
}

struct UriDeleter {
    void operator()(GUri* uri) const { g_uri_unref(uri); }
};

} // namespace

std::optional<std::string> siteKey(std::optional<std::string_view> scheme, std::string_view host,
                                   std::optional<int> port) {
    // An IPv6 literal keys the same with or without its URL brackets.
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host.empty()) return std::nullopt;
    std::string key = lowercased(host);
    if (scheme && text::asciiLower(*scheme) == "http") {
        return key + ":" + std::to_string(port.value_or(80));
    }
    if (port && *port != 443) return key + ":" + std::to_string(*port);
    return key;
}

std::optional<std::string> siteKeyOfURL(std::string_view url) {
    // The host is read the way the browser's own URLs hold it: percent-escapes
    // resolved and international names in their ASCII (punycode) form, so that
    // a typed site and the page's URL give the same key.
    // GUri reads C strings: a NUL would silently cut the URL short.
    if (url.find('\0') != std::string_view::npos) return std::nullopt;
    std::string text(url);
    GError* error = nullptr;
    std::unique_ptr<GUri, UriDeleter> uri(g_uri_parse(text.c_str(), G_URI_FLAGS_NONE, &error));
    if (!uri) {
        g_clear_error(&error);
        return std::nullopt;
    }
    const char* host = g_uri_get_host(uri.get());
    if (!host || !isUsableHost(host)) return std::nullopt;
    int port = g_uri_get_port(uri.get());
    return siteKey(g_uri_get_scheme(uri.get()), host, port < 0 ? std::nullopt : std::optional<int>(port));
}

std::optional<std::string> siteKeyFromText(std::string_view text) {
    std::string site(trimmed(text));
    if (site.find("://") == std::string::npos) site.insert(0, "https://");
    return siteKeyOfURL(site);
}

} // namespace vesk
