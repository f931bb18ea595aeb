#include "BrowserCore/Session/RequestPattern.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>

namespace vesk {

namespace {

std::string upperCased(std::string_view text) {
    auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    std::string out;
    unicode.toUpper(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

bool isLettersOnly(std::string_view text) {
    if (text.empty()) return false;
    int32_t i = 0;
    const auto length = static_cast<int32_t>(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    while (i < length) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0 || !u_isalpha(c)) return false;
    }
    return true;
}

} // namespace

RequestPattern RequestPattern::parse(std::string_view text) {
    // At most two pieces: the first word, and the rest after the spaces
    // that follow it.
    std::size_t start = text.find_first_not_of(' ');
    if (start != std::string_view::npos) {
        std::size_t end = text.find(' ', start);
        if (end != std::string_view::npos) {
            std::size_t rest = text.find_first_not_of(' ', end);
            std::string_view first = text.substr(start, end - start);
            if (rest != std::string_view::npos && isLettersOnly(first)) {
                return RequestPattern{upperCased(first), std::string(text.substr(rest))};
            }
        }
    }
    return RequestPattern{std::nullopt, std::string(text)};
}

bool RequestPattern::matches(const NetworkRequest& request) const {
    if (method && upperCased(request.method) != *method) return false;
    return request.url.find(urlPart) != std::string::npos;
}

RequestCheck checkRequests(const std::deque<NetworkRequest>& recent, std::int64_t ended, std::int64_t mark,
                           const RequestPattern& pattern, const StatusClass& wanted) {
    auto since = static_cast<std::size_t>(std::max<std::int64_t>(ended - mark, 0));
    std::size_t first = recent.size() > since ? recent.size() - since : 0;
    const NetworkRequest* last = nullptr;
    for (std::size_t i = first; i < recent.size(); ++i) {
        const NetworkRequest& request = recent[i];
        if (!pattern.matches(request)) continue;
        if (request.status && wanted.admits(*request.status)) return RequestCheck{RequestCheck::Outcome::answered, {}};
        last = &request;
    }
    if (!last) return RequestCheck{};
    RequestCheck check{RequestCheck::Outcome::wrongStatus, "network error"};
    if (last->status) {
        check.got = std::to_string(*last->status);
    } else if (last->error && !last->error->empty()) {
        check.got = *last->error;
    }
    return check;
}

} // namespace vesk
