#pragma once

// The characters that HTML's named character references stand for.

#include <unicode/umachine.h>

#include <optional>
#include <string_view>

namespace vesk {

// The character of the reference "&<name>;": the HTML 4 names (Latin-1,
// Greek, symbols) and the HTML names of ASCII signs, spaces and invisible
// characters; a name written in another letter case than its own is taken
// in lower case ("AMP", "Eacute" and "EACUTE" are known). None for any other name.
std::optional<UChar32> htmlEntity(std::string_view name);

} // namespace vesk
