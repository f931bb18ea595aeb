#include "BrowserCore/Session/StatusClass.h"

#include "BrowserCore/Errors/BrowserError.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace vesk {

namespace {

// Lower case for the whole of Unicode, so that the error names the pattern
// as the caller would read it lower-cased.
std::string lowerCased(std::string_view text) {
    auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    std::string out;
    unicode.toLower(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

} // namespace

StatusClass StatusClass::parse(std::string_view text) {
    std::string pattern = lowerCased(text);
    if (pattern.size() != 3 || pattern[0] < '2' || pattern[0] > '5' || pattern.substr(1) != "xx") {
        throw BrowserError::invalidStatus(pattern);
    }
    return StatusClass{pattern, pattern[0] - '0'};
}

} // namespace vesk
