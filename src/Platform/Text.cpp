#include "Platform/Text.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <climits>
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

std::string prefixWithinBytes(std::string_view utf8, std::size_t bytes) {
    if (utf8.size() <= bytes) return std::string(utf8);
    auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    auto breaks = characterBreaks(text);
    int32_t end = 0;
    std::size_t taken = 0;
    while (end < text.length()) {
        int32_t next = breaks ? breaks->following(end) : text.moveIndex32(end, 1);
        if (next == icu::BreakIterator::DONE) break;
        std::size_t size = 0;
        for (int32_t i = end; i < next; i = text.moveIndex32(i, 1)) {
            size += static_cast<std::size_t>(U8_LENGTH(text.char32At(i)));
        }
        if (taken + size > bytes) break;
        taken += size;
        end = next;
    }
    std::string out;
    text.tempSubString(0, end).toUTF8String(out);
    return out;
}

std::string cut(std::string_view utf8, std::size_t count) {
    if (utf8.size() <= count) return std::string(utf8);
    if (count == 0) return {};
    auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    auto breaks = characterBreaks(text);
    // The end of the (count - 1)th character, when the text has more than
    // `count` characters at all.
    int32_t keep = 0;
    if (breaks) {
        breaks->first();
        for (std::size_t i = 0; i <= count; ++i) {
            int32_t next = breaks->next();
            if (next == icu::BreakIterator::DONE) return std::string(utf8);
            if (i + 2 == count) keep = next;
        }
    } else {
        if (static_cast<std::size_t>(text.countChar32()) <= count) return std::string(utf8);
        keep = text.moveIndex32(0, static_cast<int32_t>(count - 1));
    }
    std::string out;
    text.tempSubString(0, keep).toUTF8String(out);
    out += "…";
    return out;
}

std::string suffix(std::string_view utf8, std::size_t count) {
    auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    auto breaks = characterBreaks(text);
    int32_t start = text.length();
    if (breaks) {
        breaks->last();
        for (std::size_t i = 0; i < count; ++i) {
            int32_t previous = breaks->previous();
            if (previous == icu::BreakIterator::DONE) return std::string(utf8);
            start = previous;
        }
    } else {
        start = text.moveIndex32(text.length(), -static_cast<int32_t>(std::min<std::size_t>(count, INT32_MAX)));
    }
    std::string out;
    text.tempSubString(start).toUTF8String(out);
    return out;
}

std::vector<std::string> splitLines(std::string_view utf8) {
    // A line break is always a character of its own (only CR LF joins), so
    // splitting at the break scalars splits at whole characters.
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    auto breakAt = [&](std::size_t length) {
        lines.emplace_back(utf8.substr(start, i - start));
        i += length;
        start = i;
    };
    while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
            breakAt(2);
        } else if (c == '\n' || c == '\v' || c == '\f' || c == '\r') {
            breakAt(1);
        } else if (c == 0xC2 && utf8.substr(i, 2) == "\u0085") {
            breakAt(2);
        } else if (c == 0xE2 && (utf8.substr(i, 3) == "\u2028" || utf8.substr(i, 3) == "\u2029")) {
            breakAt(3);
        } else {
            ++i;
        }
    }
    lines.emplace_back(utf8.substr(start));
    return lines;
}

std::string canonical(std::string_view utf8) {
    auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(utf8);
    if (nfc->isNormalized(text, status) && U_SUCCESS(status)) {
        std::string out;
        text.toUTF8String(out);
        return out;
    }
    status = U_ZERO_ERROR;
    icu::UnicodeString composed = nfc->normalize(text, status);
    if (U_FAILURE(status)) return std::string(utf8);
    std::string out;
    composed.toUTF8String(out);
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

std::string_view trimmed(std::string_view utf8, bool (*isTrimmed)(int32_t codePoint)) {
    const auto* data = reinterpret_cast<const uint8_t*>(utf8.data());
    auto length = static_cast<int32_t>(utf8.size());
    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c;
        U8_NEXT(data, next, length, c);
        if (c < 0 || !isTrimmed(c)) break;
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(data, begin, previous, c);
        if (c < 0 || !isTrimmed(c)) break;
        end = previous;
    }
    return utf8.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

std::string withoutLineBreaks(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c != '\r' && c != '\n') out += c;
    }
    return out;
}

std::string replacedAll(std::string_view text, std::string_view what, std::string_view by) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, from)) {
        out.append(text, from, at - from);
        out += by;
        from = at + what.size();
    }
    out.append(text, from, std::string_view::npos);
    return out;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

} // namespace vesk::text
