#include "BrowserCore/Records/WhiteSpace.h"

#include "Platform/Text.h"

#include <unicode/utf8.h>

namespace vesk {

std::string trimmedWhiteSpace(std::string_view utf8) {
    return std::string(text::trimmed(utf8, [](int32_t c) { return isWhiteSpaceOrNewline(c); }));
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
