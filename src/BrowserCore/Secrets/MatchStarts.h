#pragma once

// Where a case-insensitive match of any of many literal forms can begin. The
// secret pattern tries every form of every value at each position of a text,
// which takes tens of seconds for a long page text and a few hundred values;
// each form begins with its own literal head, so only the positions where the
// case-folded text begins with one of those heads need the pattern at all.

#include <unicode/unistr.h>

#include <array>
#include <string>
#include <string_view>
#include <unordered_set>

namespace vesk {

class MatchStarts {
public:
    // Notes a form (UTF-8) that matches start with, case-insensitively.
    void add(std::string_view form);

    // Whether a match could begin at `at`, a code point boundary of `text`:
    // the text there, fully case-folded as ICU's case-insensitive matching
    // folds it, begins with the folded head of some form. Never false where
    // a match can begin.
    bool couldStartAt(const icu::UnicodeString& text, int32_t at) const;

    static constexpr std::size_t headLength = 4;  // code points, after folding

private:
    // Folded heads by their length in code points (1 to 4), as UTF-8.
    std::array<std::unordered_set<std::string>, headLength + 1> heads_;
};

} // namespace vesk
