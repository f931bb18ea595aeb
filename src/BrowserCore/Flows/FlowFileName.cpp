#include "BrowserCore/Flows/FlowFileName.h"

#include "Platform/Text.h"

#include <glib.h>

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace vesk {

namespace {

// A file name takes at most 255 bytes on the usual file systems; ".json" is
// the rest.
constexpr std::size_t longestStem = 250;

bool isNameLetterOrNumber(UChar32 c) {
    switch (u_charType(c)) {
    case U_UPPERCASE_LETTER:
    case U_LOWERCASE_LETTER:
    case U_TITLECASE_LETTER:
    case U_MODIFIER_LETTER:
    case U_OTHER_LETTER:
    case U_DECIMAL_DIGIT_NUMBER:
    case U_LETTER_NUMBER:
    case U_OTHER_NUMBER:
        return true;
    default:
        return false;
    }
}

bool isMark(UChar32 c) {
    auto type = u_charType(c);
    return type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK || type == U_COMBINING_SPACING_MARK;
}

} // namespace

std::string flowFileName(std::string_view name) {
    // Lower-casing may decompose a letter ("İ" gives "i" and a dot above), so
    // the result is composed once more.
    std::string lower;
    icu::UnicodeString::fromUTF8(text::canonical(text::validUtf8(name))).toLower(icu::Locale::getRoot()).toUTF8String(lower);
    const icu::UnicodeString folded = icu::UnicodeString::fromUTF8(text::canonical(lower));

    icu::UnicodeString kept;
    bool inPiece = false;
    for (int32_t i = 0; i < folded.length(); i = folded.moveIndex32(i, 1)) {
        UChar32 c = folded.char32At(i);
        if (isNameLetterOrNumber(c) || (inPiece && isMark(c))) {
            if (!inPiece && !kept.isEmpty()) kept.append(u'-');
            kept.append(c);
            inPiece = true;
        } else {
            inPiece = false;
        }
    }
    std::string file;
    kept.toUTF8String(file);
    if (file.empty()) file = "flow";
    if (file.size() > longestStem) {
        // Cut between characters, and told apart from other long names that
        // begin alike (a flow and its repaired copy) by a digest of the whole.
        gchar* digest = g_compute_checksum_for_string(G_CHECKSUM_SHA1, file.c_str(), static_cast<gssize>(file.size()));
        std::string tail = "-" + std::string(digest, 8);
        g_free(digest);
        std::string start = text::prefixWithinBytes(file, longestStem - tail.size());
        while (start.ends_with('-')) start.pop_back();
        file = start + tail;
    }
    return file + ".json";
}

} // namespace vesk
