#pragma once

// The characters by which stored values and texts are compared: each
// character case-folded and canonically decomposed ("Ü", "ü" and "u" +
// U+0308 compare equal), every white space read as a space, and the
// invisible characters that hyphenation and line breaking put between
// letters (soft hyphen, zero-width space, word joiner, joiners: Unicode's
// default-ignorable code points) told apart, so that a text's may be passed
// over.

#include <unicode/unistr.h>

#include <cstdint>
#include <vector>

namespace vesk {

struct ComparedCharacter {
    enum class Kind { characters, space, ignorable };
    Kind kind;
    // What the character compares as: its folded decomposition; a space for
    // any white space; an ignorable character as it stands.
    UChar32 characters[6];
    int count;
};

// Quick for ASCII; other characters' answers are kept, a few thousand of
// them per thread, since pages repeat their characters.
ComparedCharacter comparedCharacter(UChar32 character);

// The characters a value is kept by: its folded decomposition (reordered as
// canonical order has it), without its ignorable characters, its runs of
// white space as single spaces and none at either end. A value made only of
// white space or ignorable characters keeps them, one by one.
std::vector<UChar32> comparedValue(const icu::UnicodeString& value);

// How many characters a person sees in `text` from `start` to `end`: the
// ignorable characters and the marks that combine with the character before
// them are not counted, so that a text counts alike in either canonical form.
std::size_t shownCharacters(const icu::UnicodeString& text, int32_t start, int32_t end);

} // namespace vesk
