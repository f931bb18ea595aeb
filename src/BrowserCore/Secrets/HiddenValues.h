#pragma once

// The values to hide, kept by the characters they compare by (see
// `ComparedCharacters`) in one tree, and the search for them in a text read
// through its escapes: a value is found wherever each of its characters
// stands as it is or escaped in any of the ways `EscapedText` reads, in any
// letter case and either canonical form, each of its spaces as any run of
// white space, with invisible characters between its characters.

#include "BrowserCore/Secrets/EscapedText.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vesk {

class HiddenValues {
public:
    // A value cut short where "…" follows is found from this many characters
    // of text, and up to this many characters of the value.
    static constexpr std::size_t shortestCut = 4;
    static constexpr std::size_t longestCut = 199;
    // A whole value shown in fewer characters than this is found only where
    // no letter or number touches it.
    static constexpr std::size_t standsAloneBelow = 4;

    // Adds a form (UTF-8) of the value of rank `rank`: where several values
    // match at one place, the lowest rank wins.
    void add(std::string_view form, uint32_t rank);

    // Whether some value holds a backslash (see `EscapedText`).
    bool holdsBackslash() const { return holdsBackslash_; }

    struct Match {
        int32_t start;
        int32_t end;
        uint32_t rank;
    };
    struct Found {
        std::optional<Match> match;
        // The search gave up past its bound of work: nothing can be said
        // about the rest of the text.
        bool exhausted = false;
    };

    // The first match at or after `from`, left to right: at one place, the
    // lowest rank; of its matches, the whole value before a value cut short
    // by "…", before a whole value shown in
    // fewer than 4 characters that stands alone; and the longest of each.
    // Gives up once `text` has made `stepLimit` readings.
    Found find(EscapedText& text, int32_t from, std::size_t stepLimit) const;

private:
    static constexpr uint32_t none = UINT32_MAX;
    struct Node {
        std::vector<std::pair<UChar32, uint32_t>> children;  // by character
        uint32_t whole = none;  // lowest rank of a form that ends here
        uint32_t cut = none;    // of a form that goes on, this deep and at most `longestCut`
        bool afterSpace = false;  // reached by a space: more white space stays here
    };
    uint32_t child(uint32_t node, UChar32 character) const;
    std::optional<Match> matchAt(EscapedText& text, int32_t at, std::size_t stepLimit, bool& exhausted) const;

    std::vector<Node> nodes_{Node{}};
    bool holdsBackslash_ = false;
    // The root's children by ASCII character, for the quick first look.
    std::vector<uint32_t> asciiRoots_ = std::vector<uint32_t>(128, none);
};

} // namespace vesk
