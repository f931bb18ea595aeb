#pragma once

// A text read one character at a time where any character may stand
// escaped: percent-encoded (its UTF-8 or Latin-1 bytes, or %uXXXX), "+" for
// a space, after backslashes (\uXXXX with surrogate pairs, \u{…},
// \UXXXXXXXX, \xXX, CSS's \26 and \000026, \n and its kind, or the
// character itself after any number of backslashes), as an HTML character
// reference (numeric or named, the ";" optional) or as CSV's doubled quote.
// The signs of an escape may be escaped in turn ("%2526", "&amp;#38;",
// "\\u0026"), up to `maxDepth` levels.

#include <unicode/unistr.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace vesk {

class EscapedText {
public:
    struct Reading {
        UChar32 character;
        int32_t end;  // where the text goes on after it
        bool operator==(const Reading&) const = default;
    };

    static constexpr int maxDepth = 3;
    // Backslashes read as one, at most: far more than a value escaped five
    // times over needs, and a bound on a page made of backslashes.
    static constexpr int32_t backslashesAtMost = 64;

    // `text` must outlive this reader. Without `backslashes`, a run of
    // backslashes is read only as escaping what follows it, never as one
    // backslash: the readings of the characters looked for need no more.
    explicit EscapedText(const icu::UnicodeString& text, bool backslashes = true)
        : text_(text), backslashes_(backslashes) {}

    const icu::UnicodeString& text() const { return text_; }

    // Calls `f` with each reading of the text at `at`, a code point boundary:
    // the character as it stands, and each character that an escape
    // beginning there, its signs escaped at most `depth - 1` times more,
    // stands for. Nothing at the end of the text.
    template <class F>
    void forEachReading(int32_t at, int depth, F&& f) {
        if (at >= text_.length()) return;
        UChar unit = text_.charAt(at);
        ++steps_;
        if (depth == 0 || !beginsEscape(unit)) {
            UChar32 character = text_.char32At(at);
            f(Reading{character, at + U16_LENGTH(character)});
            return;
        }
        f(Reading{unit, at + 1});
        if (unit == '\\' && backslashes_) {
            // A run of backslashes stands for one.
            int32_t end = std::min(backslashRunEnd(at), at + backslashesAtMost);
            for (int32_t k = at + 2; k <= end; ++k, ++steps_) f(Reading{'\\', k});
        }
        if (const auto* readings = escapedReadings(at, depth)) {
            steps_ += readings->size();
            for (const Reading& reading : *readings) f(reading);
        }
    }

    // Readings given so far: a measure of the work done, to bound it.
    std::size_t steps() const { return steps_; }

    // Every escape begins with one of these signs, as it stands.
    static bool beginsEscape(UChar unit) {
        return unit == '%' || unit == '\\' || unit == '&' || unit == '+' || unit == '"';
    }

private:
    // The readings of an escape beginning at `at` (not the character there
    // as it stands, nor a run of backslashes as one); none when there is no
    // escape there. Each is found once and kept.
    const std::vector<Reading>* escapedReadings(int32_t at, int depth);
    void afterBackslash(int32_t at, int depth, std::vector<Reading>& out);
    void forEachBackslash(int32_t at, int depth, const std::function<void(int32_t)>& f);
    void afterPercent(int32_t at, int depth, std::vector<Reading>& out);
    void afterAmpersand(int32_t at, int depth, std::vector<Reading>& out);
    void withSemicolon(UChar32 character, int32_t at, int depth, std::vector<Reading>& out);
    int32_t backslashRunEnd(int32_t at);

    static constexpr uint32_t unknown = UINT32_MAX;
    static constexpr uint32_t plain = UINT32_MAX - 1;

    const icu::UnicodeString& text_;
    bool backslashes_;
    // By place and depth: `unknown`, `plain` (no escape) or an index of `lists_`.
    std::vector<uint32_t> known_;
    std::deque<std::vector<Reading>> lists_;
    int32_t runStart_ = -1;
    int32_t runEnd_ = -1;
    std::size_t steps_ = 0;
};

} // namespace vesk
