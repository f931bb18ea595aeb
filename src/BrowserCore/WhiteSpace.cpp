#include "BrowserCore/WhiteSpace.h"

#include <unicode/utf8.h>

namespace vesk {

std::string trimmedWhiteSpace(std::string_view utf8) {
    const auto* data = reinterpret_cast<const uint8_t*>(utf8.data());
    auto length = static_cast<int32_t>(utf8.size());
    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c;
        U8_NEXT(data, next, length, c);
        if (c < 0 || !isWhiteSpaceOrNewline(c)) break;
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(data, begin, previous, c);
        if (c < 0 || !isWhiteSpaceOrNewline(c)) break;
        end = previous;
    }
    return std::string(utf8.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
}

std::vector<std::string> splitAtWhiteSpace(std::string_view utf8) {
    const auto* data = reinterpret_cast<const uint8_t*>(utf8.data());
    auto length = static_cast<int32_t>(utf8.size());
    std::vector<std::string> pieces;
    std::string piece;
    int32_t i = 0;
    while (i < length) {
        int32_t start = i;
        UChar32 c;
        U8_NEXT(data, i, length, c);
        if (c >= 0 && isWhiteSpaceOrNewline(c)) {
            if (!piece.empty()) pieces.push_back(std::move(piece));
            piece.clear();
        } else {
            piece.append(utf8.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
        }
    }
    if (!piece.empty()) pieces.push_back(std::move(piece));
    return pieces;
}

} // namespace vesk
