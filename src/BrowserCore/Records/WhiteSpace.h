#pragma once

// White space as people's texts hold it: tab, the line breaks (LF, VT, FF, CR,
// NEL) and every Unicode space, line and paragraph separator.

#include <unicode/uchar.h>

#include <string>
#include <string_view>
#include <vector>

namespace vesk {

inline bool isWhiteSpaceOrNewline(UChar32 c) {
    if (c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x85) return true;
    auto type = u_charType(c);
    return type == U_SPACE_SEPARATOR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

// The UTF-8 text without white space at either end.
std::string trimmedWhiteSpace(std::string_view utf8);

// The pieces of the UTF-8 text between runs of white space; none empty.
std::vector<std::string> splitAtWhiteSpace(std::string_view utf8);

} // namespace vesk
