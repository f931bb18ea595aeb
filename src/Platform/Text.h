#pragma once

// Text helpers over ICU: user-perceived characters (grapheme clusters),
// UTF-8 repair, and folding for case- and diacritic-insensitive search.

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk::text {

// Replaces every invalid UTF-8 sequence by U+FFFD.
std::string validUtf8(std::string_view bytes);

// The number of user-perceived characters in valid UTF-8 text.
std::size_t characterCount(std::string_view utf8);

// The first `count` user-perceived characters of valid UTF-8 text; the whole
// text when it is shorter. Never cuts inside a character.
std::string prefix(std::string_view utf8, std::size_t count);

// The text folded for searching: case-folded and stripped of diacritics,
// so that "Café" and "CAFE" fold to the same text.
std::string foldForSearch(std::string_view utf8);

// Whether `needle` occurs in `haystack`, regardless of case and diacritics.
bool containsFolded(std::string_view haystack, std::string_view needle);

// Lower-cases ASCII letters only (host names, schemes, status patterns).
std::string asciiLower(std::string_view text);

} // namespace vesk::text
