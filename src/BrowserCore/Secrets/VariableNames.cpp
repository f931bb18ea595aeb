#include "BrowserCore/Secrets/VariableNames.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <memory>

namespace vesk {

namespace {

const icu::RegexPattern* referencePattern() {
    static const std::unique_ptr<icu::RegexPattern> pattern = [] {
        UErrorCode status = U_ZERO_ERROR;
        UParseError where;
        std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(
            icu::UnicodeString(u"\\$\\{([A-Za-z_][A-Za-z0-9_]*(?:\\.[A-Za-z_][A-Za-z0-9_]*)?)\\}"), where, status));
        return U_SUCCESS(status) ? std::move(compiled) : nullptr;
    }();
    return pattern.get();
}

} // namespace

std::vector<std::string> variableNames(std::string_view text) {
    std::vector<std::string> names;
    const icu::RegexPattern* pattern = referencePattern();
    if (!pattern || text.find("${") == std::string_view::npos) return names;
    auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(unicode, status));
    if (U_FAILURE(status)) return names;
    while (matcher->find(status) && U_SUCCESS(status)) {
        std::string name;
        matcher->group(1, status).toUTF8String(name);
        if (U_FAILURE(status)) break;
        names.push_back(std::move(name));
    }
    return names;
}

} // namespace vesk
