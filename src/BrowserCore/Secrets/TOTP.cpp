#include "BrowserCore/Secrets/TOTP.h"

#include "BrowserCore/Records/WhiteSpace.h"
#include "Platform/Text.h"

#include <glib.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>

namespace vesk {

namespace {

constexpr std::string_view base32Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
constexpr double stepSeconds = 30.0;

std::string uppercased(std::string_view text) {
    auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    std::string out;
    unicode.toUpper(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

// The characters a URI may hold as written (RFC 3986); GUri would quietly
// accept and escape others, such as a space, that make the text no URI.
bool isURICharacter(unsigned char c) {
    if (g_ascii_isalnum(c)) return true;
    return std::string_view("-._~:/?#[]@!$&'()*+,;=%").find(static_cast<char>(c)) != std::string_view::npos;
}

struct OtpUriDeleter {
    void operator()(GUri* uri) const { g_uri_unref(uri); }
};

std::optional<std::string> unescaped(std::string_view text) {
    std::string copy(text);
    char* plain = g_uri_unescape_string(copy.c_str(), nullptr);
    if (!plain) return std::nullopt;
    std::string out = plain;
    g_free(plain);
    return out;
}

struct QueryItem {
    std::string name;
    std::optional<std::string> value;  // none when the item has no "="
};

// The query's items, percent-decoded; none when an escape is malformed.
std::optional<std::vector<QueryItem>> queryItems(const char* query) {
    std::vector<QueryItem> items;
    if (!query) return items;
    std::string_view rest(query);
    while (true) {
        auto end = rest.find('&');
        std::string_view item = rest.substr(0, end);
        QueryItem decoded;
        auto equals = item.find('=');
        auto name = unescaped(item.substr(0, equals));
        if (!name) return std::nullopt;
        decoded.name = *name;
        if (equals != std::string_view::npos) {
            decoded.value = unescaped(item.substr(equals + 1));
            if (!decoded.value) return std::nullopt;
        }
        items.push_back(std::move(decoded));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return items;
}

// The value of the first item of that name, in any letter case; an item of
// that name without a value counts as absent and hides later ones.
std::optional<std::string> parameter(const std::vector<QueryItem>& items, std::string_view wanted) {
    for (const auto& item : items) {
        if (text::asciiLower(item.name) == wanted) return item.value;
    }
    return std::nullopt;
}

// The secret of an otpauth://totp/ URI that asks for nothing but SHA1, six
// digits and 30 seconds; none otherwise.
std::optional<std::string> otpauthSecret(const std::string& text) {
    for (unsigned char c : text) {
        if (!isURICharacter(c)) return std::nullopt;
    }
    GError* error = nullptr;
    std::unique_ptr<GUri, OtpUriDeleter> uri(g_uri_parse(text.c_str(), G_URI_FLAGS_ENCODED, &error));
    if (!uri) {
        g_clear_error(&error);
        return std::nullopt;
    }
    const char* host = g_uri_get_host(uri.get());
    if (text::asciiLower(g_uri_get_scheme(uri.get())) != "otpauth" || !host || text::asciiLower(host) != "totp") {
        return std::nullopt;
    }
    auto items = queryItems(g_uri_get_query(uri.get()));
    if (!items) return std::nullopt;
    if (auto algorithm = parameter(*items, "algorithm"); algorithm && uppercased(*algorithm) != "SHA1") {
        return std::nullopt;
    }
    if (auto digits = parameter(*items, "digits"); digits && *digits != "6") return std::nullopt;
    if (auto period = parameter(*items, "period"); period && *period != "30") return std::nullopt;
    return parameter(*items, "secret");
}

} // namespace

std::optional<std::vector<std::uint8_t>> base32Decode(std::string_view text) {
    std::string upper = uppercased(text);
    std::string symbols;
    for (char c : upper) {
        if (c != ' ') symbols.push_back(c);
    }
    while (!symbols.empty() && symbols.back() == '=') symbols.pop_back();

    std::vector<std::uint8_t> bytes;
    std::uint32_t buffer = 0;
    int bits = 0;
    for (char c : symbols) {
        auto position = base32Alphabet.find(c);
        if (position == std::string_view::npos) return std::nullopt;
        buffer = (buffer << 5) | static_cast<std::uint32_t>(position);
        bits += 5;
        if (bits >= 8) {
            bytes.push_back(static_cast<std::uint8_t>((buffer >> (bits - 8)) & 0xFF));
            bits -= 8;
        }
    }
    return bytes;
}

std::optional<TOTP> TOTP::parse(std::string_view text) {
    std::string trimmed = trimmedWhiteSpace(text);
    std::string secret;
    // A text that starts like a URI is read only as one, never as a bare key.
    if (text::asciiLower(trimmed).starts_with("otpauth:")) {
        auto found = otpauthSecret(trimmed);
        if (!found) return std::nullopt;
        secret = std::move(*found);
    } else {
        secret = std::move(trimmed);
    }
    auto key = base32Decode(secret);
    if (!key || key->empty()) return std::nullopt;
    return TOTP(std::move(*key));
}

std::string TOTP::code(std::chrono::system_clock::time_point at) const {
    double since = std::chrono::duration<double>(at.time_since_epoch()).count();
    // Instants before the epoch have no step; they take the first one.
    std::uint64_t counter = since > 0 ? static_cast<std::uint64_t>(since / stepSeconds) : 0;
    std::array<std::uint8_t, 8> message{};
    for (int i = 7; i >= 0; --i) {
        message[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(counter & 0xFF);
        counter >>= 8;
    }

    GHmac* hmac = g_hmac_new(G_CHECKSUM_SHA1, key_.data(), key_.size());
    g_hmac_update(hmac, message.data(), static_cast<gssize>(message.size()));
    std::array<std::uint8_t, 20> mac{};
    gsize length = mac.size();
    g_hmac_get_digest(hmac, mac.data(), &length);
    g_hmac_unref(hmac);

    std::size_t offset = mac[19] & 0x0F;
    std::uint32_t number = (static_cast<std::uint32_t>(mac[offset] & 0x7F) << 24) |
                           (static_cast<std::uint32_t>(mac[offset + 1]) << 16) |
                           (static_cast<std::uint32_t>(mac[offset + 2]) << 8) | mac[offset + 3];
    std::string digits = std::to_string(number % 1000000);
    return std::string(6 - digits.size(), '0') + digits;
}

} // namespace vesk
