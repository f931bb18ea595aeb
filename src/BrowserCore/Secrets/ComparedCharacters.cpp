#include "BrowserCore/Secrets/ComparedCharacters.h"

#include "BrowserCore/Records/WhiteSpace.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>

#include <array>

namespace vesk {

namespace {

const icu::Normalizer2* decomposition() {
    static const icu::Normalizer2* nfd = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* instance = icu::Normalizer2::getNFDInstance(status);
        return U_SUCCESS(status) ? instance : nullptr;
    }();
    return nfd;
}

bool isIgnorable(UChar32 c) { return u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT); }

// Caseless matching as Unicode defines it for canonical equivalents:
// decomposed, case-folded ("ß" gives "ss"), and decomposed again (folding
// may give characters that decompose).
icu::UnicodeString foldedDecomposition(const icu::UnicodeString& text) {
    const icu::Normalizer2* nfd = decomposition();
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString out = nfd ? nfd->normalize(text, status) : text;
    if (U_FAILURE(status)) out = text;
    out.foldCase(U_FOLD_CASE_DEFAULT);
    if (nfd && !nfd->isNormalized(out, status) && U_SUCCESS(status)) {
        icu::UnicodeString again = nfd->normalize(out, status);
        if (U_SUCCESS(status)) out = again;
    }
    return out;
}

ComparedCharacter beyondAscii(UChar32 character) {
    if (isWhiteSpaceOrNewline(character)) return {ComparedCharacter::Kind::space, {' '}, 1};
    if (isIgnorable(character)) return {ComparedCharacter::Kind::ignorable, {character}, 1};
    // Most characters neither decompose nor fold: two quick look-ups.
    const icu::Normalizer2* nfd = decomposition();
    if (nfd && nfd->isInert(character) && !u_hasBinaryProperty(character, UCHAR_CHANGES_WHEN_CASEFOLDED)) {
        return {ComparedCharacter::Kind::characters, {character}, 1};
    }
    icu::UnicodeString folded = foldedDecomposition(icu::UnicodeString(character));
    ComparedCharacter out{ComparedCharacter::Kind::characters, {}, 0};
    for (int32_t i = 0; i < folded.length(); i = folded.moveIndex32(i, 1)) {
        // No character decomposes and folds into more than a few.
        if (out.count == static_cast<int>(std::size(out.characters))) return {ComparedCharacter::Kind::characters, {character}, 1};
        out.characters[out.count++] = folded.char32At(i);
    }
    return out;
}

} // namespace

ComparedCharacter comparedCharacter(UChar32 character) {
    if (character < 0x80) {
        if (character == ' ' || (character >= 0x09 && character <= 0x0D)) return {ComparedCharacter::Kind::space, {' '}, 1};
        UChar32 lower = character >= 'A' && character <= 'Z' ? character + ('a' - 'A') : character;
        return {ComparedCharacter::Kind::characters, {lower}, 1};
    }
    struct Kept {
        UChar32 character = -1;
        ComparedCharacter compared;
    };
    thread_local std::array<Kept, 2048> kept{};
    Kept& slot = kept[static_cast<std::size_t>(character) % kept.size()];
    if (slot.character != character) slot = {character, beyondAscii(character)};
    return slot.compared;
}

std::vector<UChar32> comparedValue(const icu::UnicodeString& value) {
    icu::UnicodeString folded = foldedDecomposition(value);
    std::vector<UChar32> out;
    bool space = false;
    for (int32_t i = 0; i < folded.length(); i = folded.moveIndex32(i, 1)) {
        UChar32 c = folded.char32At(i);
        if (isWhiteSpaceOrNewline(c)) {
            space = !out.empty();
        } else if (!isIgnorable(c)) {
            if (space) out.push_back(' ');
            space = false;
            out.push_back(c);
        }
    }
    if (out.empty()) {
        for (int32_t i = 0; i < folded.length(); i = folded.moveIndex32(i, 1)) {
            UChar32 c = folded.char32At(i);
            out.push_back(isWhiteSpaceOrNewline(c) ? ' ' : c);
        }
    }
    return out;
}

std::size_t shownCharacters(const icu::UnicodeString& text, int32_t start, int32_t end) {
    std::size_t count = 0;
    for (int32_t i = start; i < end; i = text.moveIndex32(i, 1)) {
        UChar32 c = text.char32At(i);
        if (c < 0x80 || (!isIgnorable(c) && u_getCombiningClass(c) == 0 &&
                         !u_hasBinaryProperty(c, UCHAR_GRAPHEME_EXTEND))) {
            ++count;
        }
    }
    return count;
}

} // namespace vesk
