#pragma once

// Text helpers over ICU: user-perceived characters (grapheme clusters),
// UTF-8 repair, and folding for case- and diacritic-insensitive search.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::text {

// The text without its carriage returns and line feeds, as a one-line field
// keeps what was typed into it.
std::string withoutLineBreaks(std::string_view text);

// Replaces every invalid UTF-8 sequence by U+FFFD.
std::string validUtf8(std::string_view bytes);

// The number of user-perceived characters in valid UTF-8 text.
std::size_t characterCount(std::string_view utf8);

// The first `count` user-perceived characters of valid UTF-8 text; the whole
// text when it is shorter. Never cuts inside a character.
std::string prefix(std::string_view utf8, std::size_t count);

// The longest start of valid UTF-8 text that takes at most `bytes` bytes and
// ends between two user-perceived characters.
std::string prefixWithinBytes(std::string_view utf8, std::size_t bytes);

// The text cut to `count` user-perceived characters: a longer text keeps its
// first count - 1 characters and ends in "…" (U+2026), so that it has exactly
// `count`; a text of `count` characters or fewer stays whole.
std::string cut(std::string_view utf8, std::size_t count);

// The last `count` user-perceived characters of valid UTF-8 text; the whole
// text when it is shorter.
std::string suffix(std::string_view utf8, std::size_t count);

// The text split at every line break character (LF, VT, FF, CR, NEL, U+2028,
// U+2029; CR LF is one character and so one break). Empty lines are kept, and
// an empty text gives one empty line.
std::vector<std::string> splitLines(std::string_view utf8);

// The text in canonical composed form (NFC), so that canonically equivalent
// texts compare and hash equal.
std::string canonical(std::string_view utf8);

// The text folded for searching: case-folded and stripped of diacritics,
// so that "Café" and "CAFE" fold to the same text.
std::string foldForSearch(std::string_view utf8);

// Whether `needle` occurs in `haystack`, regardless of case and diacritics.
bool containsFolded(std::string_view haystack, std::string_view needle);

// The text without the leading and trailing characters for which
// `isTrimmed` (given a code point) holds; stops at an invalid sequence.
std::string_view trimmed(std::string_view utf8, bool (*isTrimmed)(int32_t codePoint));

// The text with each occurrence of `what` (not empty), from left to right and
// not overlapping, replaced by `by`; what `by` brings in is not searched.
std::string replacedAll(std::string_view text, std::string_view what, std::string_view by);

// Lower-cases ASCII letters only (host names, schemes, status patterns).
std::string asciiLower(std::string_view text);

} // namespace vesk::text
