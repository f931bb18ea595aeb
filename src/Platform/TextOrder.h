#pragma once

// How names are compared and ordered the way a person expects: lists of
// profiles, credentials and flows sort without regard to case, with runs of
// digits compared by their value ("Item 2" before "Item 10"), the same under
// any locale.

#include <string>
#include <string_view>

namespace vesk::text {

// Negative, zero or positive as `a` sorts before, with or after `b`.
int standardCompare(std::string_view a, std::string_view b);

// Whether the texts are equal once both are case-folded (Unicode full
// folding; nothing else is ignored).
bool equalIgnoringCase(std::string_view a, std::string_view b);

// The text without blanks (spaces of every kind and tabs, not line breaks)
// at either end.
std::string trimmedBlanks(std::string_view utf8);

// The text without white space, line breaks included, at either end.
std::string trimmedWhiteSpace(std::string_view utf8);

} // namespace vesk::text
