#include "BrowserCore/Secrets/EscapedText.h"

#include "BrowserCore/Secrets/HTMLEntities.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

namespace vesk {

namespace {

// Digits of a numeric character reference, leading zeros included.
constexpr int32_t referenceDigitsAtMost = 16;
// Letters and digits of a character reference's name.
constexpr int32_t nameAtMost = 32;

int hexDigit(UChar unit) {
    if (unit >= '0' && unit <= '9') return unit - '0';
    if (unit >= 'a' && unit <= 'f') return unit - 'a' + 10;
    if (unit >= 'A' && unit <= 'F') return unit - 'A' + 10;
    return -1;
}

bool isAsciiAlphanumeric(UChar unit) {
    return (unit >= '0' && unit <= '9') || (unit >= 'a' && unit <= 'z') || (unit >= 'A' && unit <= 'Z');
}

// The number written by exactly `count` hex digits at `at`; none when they
// are not there.
std::optional<uint32_t> hexAt(const icu::UnicodeString& text, int32_t at, int32_t count) {
    if (at < 0 || at + count > text.length()) return std::nullopt;
    uint32_t value = 0;
    for (int32_t i = 0; i < count; ++i) {
        int digit = hexDigit(text.charAt(at + i));
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

// The number written by `count` hex digits after `letter` (in either case)
// at `at`.
std::optional<uint32_t> hexAfterLetter(const icu::UnicodeString& text, int32_t at, char letter, int32_t count) {
    if (at >= text.length() || (text.charAt(at) | 0x20) != letter) return std::nullopt;
    return hexAt(text, at + 1, count);
}

bool isCharacter(uint32_t value) {
    return value > 0 && value <= 0x10FFFF && !U_IS_SURROGATE(value);
}

// The bytes a UTF-8 sequence beginning with `lead` has; 0 when `lead`
// begins none.
int utf8Length(uint32_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool isCssSpace(UChar32 c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

using Reading = EscapedText::Reading;

// The characters of an escaped byte: itself as Latin-1, and the characters
// of the UTF-8 sequences it begins, whose further bytes `nextByte(from,
// take)` finds escaped the same way, calling take(byte, end) for each.
template <class NextByte>
void completeUtf8(std::string& bytes, int length, int32_t from, const NextByte& nextByte, std::vector<Reading>& out) {
    if (static_cast<int>(bytes.size()) == length) {
        int32_t i = 0;
        UChar32 character = 0;
        U8_NEXT(bytes.data(), i, length, character);
        if (character > 0) out.push_back({character, from});
        return;
    }
    nextByte(from, [&](uint32_t byte, int32_t end) {
        if (byte < 0x80 || byte > 0xBF) return;
        bytes.push_back(static_cast<char>(byte));
        completeUtf8(bytes, length, end, nextByte, out);
        bytes.pop_back();
    });
}

template <class NextByte>
void byteEscape(std::optional<uint32_t> byte, int32_t end, const NextByte& nextByte, std::vector<Reading>& out) {
    if (!byte || *byte == 0) return;
    out.push_back({static_cast<UChar32>(*byte), end});
    if (int length = utf8Length(*byte)) {
        std::string bytes(1, static_cast<char>(*byte));
        completeUtf8(bytes, length, end, nextByte, out);
    }
}

// The character of an escaped UTF-16 unit; a lead surrogate takes the trail
// surrogate that `nextUnit(from, take)` finds escaped the same way.
template <class NextUnit>
void unitEscape(std::optional<uint32_t> unit, int32_t end, const NextUnit& nextUnit, std::vector<Reading>& out) {
    if (!unit) return;
    if (isCharacter(*unit)) out.push_back({static_cast<UChar32>(*unit), end});
    if (!U16_IS_LEAD(*unit)) return;
    nextUnit(end, [&](uint32_t trail, int32_t after) {
        if (U16_IS_TRAIL(trail)) out.push_back({static_cast<UChar32>(U16_GET_SUPPLEMENTARY(*unit, trail)), after});
    });
}

} // namespace

int32_t EscapedText::backslashRunEnd(int32_t at) {
    if (at >= runStart_ && at < runEnd_) return runEnd_;
    int32_t end = at;
    while (end < text_.length() && text_.charAt(end) == '\\') ++end;
    runStart_ = at;
    runEnd_ = end;
    return end;
}

const std::vector<EscapedText::Reading>* EscapedText::escapedReadings(int32_t at, int depth) {
    if (known_.empty()) known_.assign(static_cast<std::size_t>(text_.length()) * maxDepth, unknown);
    uint32_t& slot = known_[static_cast<std::size_t>(at) * maxDepth + static_cast<std::size_t>(depth - 1)];
    if (slot == plain) return nullptr;
    if (slot != unknown) return &lists_[slot];
    std::vector<Reading> out;
    UChar unit = text_.charAt(at);
    auto escapeAfter = [&](const Reading& sign) {
        switch (sign.character) {
        case '%': afterPercent(sign.end, depth, out); break;
        case '&': afterAmpersand(sign.end, depth, out); break;
        case '+': out.push_back({' ', sign.end}); break;
        case '"':
            forEachReading(sign.end, depth - 1, [&](const Reading& next) {
                if (next.character == '"') out.push_back({'"', next.end});
            });
            break;
        case '\\':
            // Backslashes as they stand are read with the run they make.
            if (unit != '\\' || sign.end > backslashRunEnd(at)) afterBackslash(sign.end, depth, out);
            break;
        default: break;
        }
    };
    // The escape's first sign as it stands, or escaped in its turn.
    if (unit == '\\') {
        afterBackslash(backslashRunEnd(at), depth, out);
    } else {
        escapeAfter({unit, at + 1});
    }
    if (depth > 1) {
        if (const auto* signs = escapedReadings(at, depth - 1)) {
            for (const Reading& sign : *signs) escapeAfter(sign);
        }
    }
    if (out.empty()) {
        slot = plain;
        return nullptr;
    }
    std::sort(out.begin(), out.end(), [](const Reading& a, const Reading& b) {
        return a.end != b.end ? a.end < b.end : a.character < b.character;
    });
    out.erase(std::unique(out.begin(), out.end()), out.end());
    slot = static_cast<uint32_t>(lists_.size());
    lists_.push_back(std::move(out));
    return &lists_.back();
}

// The next backslash of a sequence (\uD83D\uDE00, \xC3\xA9) stands as the
// first one may: a run of them, or escaped.
void EscapedText::forEachBackslash(int32_t at, int depth, const std::function<void(int32_t)>& f) {
    if (at >= text_.length()) return;
    bool raw = text_.charAt(at) == '\\';
    if (raw) f(backslashRunEnd(at));
    if (depth <= 1 || !beginsEscape(text_.charAt(at))) return;
    if (const auto* signs = escapedReadings(at, depth - 1)) {
        for (const Reading& sign : *signs) {
            if (sign.character == '\\' && (!raw || sign.end > backslashRunEnd(at))) f(sign.end);
        }
    }
}

void EscapedText::afterBackslash(int32_t at, int depth, std::vector<Reading>& out) {
    if (at >= text_.length()) return;
    UChar unit = text_.charAt(at);
    // The next escape of a sequence: backslashes, `letter` and `count` hex
    // digits, calling take(number, end).
    auto nextEscaped = [&](char letter, int32_t count) {
        return [&, letter, count](int32_t from, auto&& take) {
            forEachBackslash(from, depth, [&](int32_t after) {
                if (auto number = hexAfterLetter(text_, after, letter, count)) take(*number, after + 1 + count);
            });
        };
    };
    // JSON's and JavaScript's \uXXXX, a pair of them for a character beyond
    // the BMP; \u{…}; Python's \UXXXXXXXX.
    if (unit == 'u' || unit == 'U') {
        unitEscape(hexAt(text_, at + 1, 4), at + 5, nextEscaped('u', 4), out);
        if (at + 1 < text_.length() && text_.charAt(at + 1) == '{') {
            int32_t digits = 0;
            while (digits < 6 && hexAt(text_, at + 2 + digits, 1)) ++digits;
            auto code = digits ? hexAt(text_, at + 2, digits) : std::nullopt;
            int32_t close = at + 2 + digits;
            if (code && isCharacter(*code) && close < text_.length() && text_.charAt(close) == '}') {
                out.push_back({static_cast<UChar32>(*code), close + 1});
            }
        }
        if (auto code = hexAt(text_, at + 1, 8); code && unit == 'U' && isCharacter(*code)) {
            out.push_back({static_cast<UChar32>(*code), at + 9});
        }
    }
    // \xXX: a Latin-1 character, or a byte of a UTF-8 sequence whose other
    // bytes follow as \xXX too.
    if (unit == 'x' || unit == 'X') {
        byteEscape(hexAt(text_, at + 1, 2), at + 3, nextEscaped('x', 2), out);
    }
    // CSS: one to six hex digits, and the one white space that may end them.
    int32_t digits = 0;
    while (digits < 6 && at + digits < text_.length() && hexDigit(text_.charAt(at + digits)) >= 0) ++digits;
    if (digits) {
        auto code = hexAt(text_, at, digits);
        if (code && isCharacter(*code)) {
            UChar32 character = static_cast<UChar32>(*code);
            int32_t end = at + digits;
            out.push_back({character, end});
            if (end + 1 < text_.length() && text_.charAt(end) == '\r' && text_.charAt(end + 1) == '\n') {
                out.push_back({character, end + 2});
            }
            forEachReading(end, depth - 1, [&](const Reading& space) {
                if (isCssSpace(space.character)) out.push_back({character, space.end});
            });
        }
    }
    // Control characters by letter, as JSON and C write them.
    static constexpr std::pair<UChar, UChar32> controls[] = {
        {'n', '\n'}, {'t', '\t'}, {'r', '\r'}, {'b', '\b'}, {'f', '\f'}, {'v', '\v'}};
    for (const auto& [letter, control] : controls) {
        if (unit == letter) out.push_back({control, at + 1});
    }
    // Any other character stands for itself after a backslash.
    forEachReading(at, depth - 1, [&](const Reading& itself) { out.push_back(itself); });
}

void EscapedText::afterPercent(int32_t at, int depth, std::vector<Reading>& out) {
    if (at >= text_.length()) return;
    // The next "%" of a sequence is escaped as the first one may be.
    auto nextPercent = [&](int32_t from, auto&& take) {
        forEachReading(from, depth - 1, [&](const Reading& sign) {
            if (sign.character == '%') take(sign.end);
        });
    };
    byteEscape(hexAt(text_, at, 2), at + 2, [&](int32_t from, auto&& take) {
        nextPercent(from, [&](int32_t digits) {
            if (auto byte = hexAt(text_, digits, 2)) take(*byte, digits + 2);
        });
    }, out);
    // JavaScript's escape() writes characters beyond Latin-1 as %uXXXX.
    unitEscape(hexAfterLetter(text_, at, 'u', 4), at + 5, [&](int32_t from, auto&& take) {
        nextPercent(from, [&](int32_t u) {
            if (auto trail = hexAfterLetter(text_, u, 'u', 4)) take(*trail, u + 5);
        });
    }, out);
}

void EscapedText::afterAmpersand(int32_t at, int depth, std::vector<Reading>& out) {
    if (at >= text_.length()) return;
    // Numeric: "&#38;", "&#x26;", "&#X26", leading zeros and all.
    forEachReading(at, depth - 1, [&](const Reading& hash) {
        if (hash.character != '#') return;
        int32_t from = hash.end;
        bool hex = from < text_.length() && (text_.charAt(from) == 'x' || text_.charAt(from) == 'X');
        if (hex) ++from;
        // Without ";" the digits may run on into the text that follows: each
        // of their starts is read.
        uint32_t value = 0;
        for (int32_t end = from; end < text_.length() && end - from < referenceDigitsAtMost; ++end) {
            int digit = hexDigit(text_.charAt(end));
            if (digit < 0 || (!hex && digit > 9)) break;
            value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
            if (value > 0x10FFFF) break;
            if (isCharacter(value)) withSemicolon(static_cast<UChar32>(value), end + 1, depth, out);
        }
    });
    // Named: "&amp;", "&quot;", "&eacute;".
    int32_t end = at;
    while (end < text_.length() && end - at < nameAtMost && isAsciiAlphanumeric(text_.charAt(end))) ++end;
    if (end == at) return;
    std::string name;
    for (int32_t i = at; i < end; ++i) name.push_back(static_cast<char>(text_.charAt(i)));
    if (auto character = htmlEntity(name)) withSemicolon(*character, end, depth, out);
}

// A character reference may end with ";", which may be escaped in its turn.
void EscapedText::withSemicolon(UChar32 character, int32_t at, int depth, std::vector<Reading>& out) {
    out.push_back({character, at});
    forEachReading(at, depth - 1, [&](const Reading& semicolon) {
        if (semicolon.character == ';') out.push_back({character, semicolon.end});
    });
}

} // namespace vesk
