#include "Platform/Text.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <memory>

namespace vesk::text {

std::string validUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    int32_t length = static_cast<int32_t>(bytes.size());
    int32_t i = 0;
    while (i < length) {
        int32_t start = i;
        UChar32 c;
        U8_NEXT(data, i, length, c);
        if (c < 0) {
            out += "\xEF\xBF\xBD";
        } else {
            out.append(bytes.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
        }
    }
    return out;
}

namespace {

std::unique_ptr<icu::BreakIterator> characterBreaks(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return nullptr;
    breaks->setText(text);
    return breaks;
}

} // namespace

std::size_t characterCount(std::string_view utf8) {
    auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    auto breaks = characterBreaks(text);
    if (!breaks) return static_cast<std::size_t>(text.countChar32());
    std::size_t count = 0;
    breaks->first();
    while (breaks->next() != icu::BreakIterator::DONE) ++count;
    return count;
}

std::string prefix(std::string_view utf8, std::size_t count) {
    // Every character takes at least one byte, so a short text is whole.
    if (utf8.size() <= count) return std::string(utf8);
    auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    auto breaks = characterBreaks(text);
    int32_t end = 0;
    if (breaks) {
        breaks->first();
        for (std::size_t i = 0; i < count; ++i) {
            int32_t next = breaks->next();
            if (next == icu::BreakIterator::DONE) return std::string(utf8);
            end = next;
        }
    } else {
        end = text.moveIndex32(0, static_cast<int32_t>(count));
    }
    std::string out;
    text.tempSubString(0, end).toUTF8String(out);
    return out;
}

std::string foldForSearch(std::string_view utf8) {
    auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    UErrorCode status = U_ZERO_ERROR;
    // Decompose, drop the combining marks, then fold case.
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_SUCCESS(status)) {
        icu::UnicodeString decomposed = nfd->normalize(text, status);
        if (U_SUCCESS(status)) {
            icu::UnicodeString stripped;
            for (int32_t i = 0; i < decomposed.length();) {
                UChar32 c = decomposed.char32At(i);
                if (u_getCombiningClass(c) == 0 && u_charType(c) != U_NON_SPACING_MARK) stripped.append(c);
                i += U16_LENGTH(c);
            }
            text = stripped;
        }
    }
    text.foldCase();
    std::string out;
    text.toUTF8String(out);
    return out;
}

bool containsFolded(std::string_view haystack, std::string_view needle) {
    return foldForSearch(haystack).find(foldForSearch(needle)) != std::string::npos;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

} // namespace vesk::text
