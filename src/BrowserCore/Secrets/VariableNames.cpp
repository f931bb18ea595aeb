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

// Walks the references of `text` left to right: `onReference` gets the text
// before each one (since the previous) and its name; the rest of the text is
// the result's last piece.
std::string walkReferences(std::string_view text,
                           const std::function<void(std::string&, const std::string&)>& onReference) {
    std::string out;
    const icu::RegexPattern* pattern = referencePattern();
    if (!pattern || text.find("${") == std::string_view::npos) return std::string(text);
    auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(unicode, status));
    if (U_FAILURE(status)) return std::string(text);
    int32_t position = 0;
    while (matcher->find(status) && U_SUCCESS(status)) {
        std::string name;
        matcher->group(1, status).toUTF8String(name);
        int32_t start = matcher->start(status);
        if (U_FAILURE(status)) break;
        unicode.tempSubString(position, start - position).toUTF8String(out);
        onReference(out, name);
        position = matcher->end(status);
    }
    unicode.tempSubString(position).toUTF8String(out);
    return out;
}

} // namespace

std::vector<std::string> variableNames(std::string_view text) {
    std::vector<std::string> names;
    walkReferences(text, [&](std::string&, const std::string& name) { names.push_back(name); });
    return names;
}

std::string replacedReferences(std::string_view text, const std::function<std::string(const std::string&)>& valueOf) {
    return walkReferences(text, [&](std::string& out, const std::string& name) { out += valueOf(name); });
}

} // namespace vesk
