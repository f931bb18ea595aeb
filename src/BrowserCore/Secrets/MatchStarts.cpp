#include "BrowserCore/Secrets/MatchStarts.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

namespace vesk {

namespace {

// Appends the full case folding of one code point, as UTF-8, and counts the
// code points appended.
void appendFolded(UChar32 c, std::string& out, std::size_t& count) {
    auto append = [&](UChar32 folded) {
        char bytes[U8_MAX_LENGTH];
        int32_t length = 0;
        U8_APPEND_UNSAFE(bytes, length, folded);
        out.append(bytes, static_cast<std::size_t>(length));
        ++count;
    };
    if (c < 0x80) {
        append(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
        return;
    }
    UChar source[U16_MAX_LENGTH];
    int32_t length = 0;
    U16_APPEND_UNSAFE(source, length, c);
    UChar folded[8];
    UErrorCode status = U_ZERO_ERROR;
    int32_t foldedLength = u_strFoldCase(folded, 8, source, length, U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) {
        append(c);
        return;
    }
    for (int32_t i = 0; i < foldedLength;) {
        UChar32 next;
        U16_NEXT(folded, i, foldedLength, next);
        append(next);
    }
}

} // namespace

void MatchStarts::add(std::string_view form) {
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(form.data(), static_cast<int32_t>(form.size())));
    std::string head;
    std::size_t count = 0;
    for (int32_t i = 0; i < text.length() && count < headLength; i = text.moveIndex32(i, 1)) {
        appendFolded(text.char32At(i), head, count);
    }
    if (count == 0) return;
    // A folded head longer than four code points is cut back to four.
    std::size_t kept = std::min(count, headLength);
    std::size_t bytes = 0;
    for (std::size_t n = 0; n < kept; ++n) U8_FWD_1_UNSAFE(head.data(), bytes);
    heads_[kept].insert(head.substr(0, bytes));
}

bool MatchStarts::couldStartAt(const icu::UnicodeString& text, int32_t at) const {
    std::string folded;
    std::size_t count = 0;
    std::array<std::size_t, headLength + 1> ends{};  // bytes of `folded` after n code points
    for (int32_t i = at; i < text.length() && count < headLength; i = text.moveIndex32(i, 1)) {
        std::size_t before = count;
        appendFolded(text.char32At(i), folded, count);
        // Record where each folded code point ends.
        std::size_t bytes = 0;
        for (std::size_t n = 0; n < count && n < headLength; ++n) {
            U8_FWD_1_UNSAFE(folded.data(), bytes);
            if (n >= before) ends[n + 1] = bytes;
        }
    }
    for (std::size_t n = 1; n <= std::min(count, headLength); ++n) {
        if (!heads_[n].empty() && heads_[n].contains(folded.substr(0, ends[n]))) return true;
    }
    return false;
}

} // namespace vesk
