#include "BrowserCore/Flows/FlowFileName.h"

#include "Platform/Text.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace vesk {

namespace {

bool isLetterOrNumber(UChar32 c) {
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
        if (isLetterOrNumber(c) || (inPiece && isMark(c))) {
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
    return file + ".json";
}

} // namespace vesk
