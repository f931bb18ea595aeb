#pragma once

// Text equality for the records: canonically equivalent Unicode texts (for
// instance a precomposed "é" and "e" with a combining accent) are equal.

#include "Platform/Text.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

inline bool sameText(std::string_view a, std::string_view b) {
    // Equal bytes are the common case; only differing texts are normalised.
    return a == b || text::canonical(a) == text::canonical(b);
}

inline bool sameOptionalText(const std::optional<std::string>& a, const std::optional<std::string>& b) {
    if (!a || !b) return !a && !b;
    return sameText(*a, *b);
}

inline bool sameTexts(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!sameText(a[i], b[i])) return false;
    }
    return true;
}

// Sets compare as sets of canonical texts, so two spellings of one text count once.
inline bool sameTexts(const std::set<std::string>& a, const std::set<std::string>& b) {
    if (a == b) return true;
    std::set<std::string> canonicalA, canonicalB;
    for (const auto& t : a) canonicalA.insert(text::canonical(t));
    for (const auto& t : b) canonicalB.insert(text::canonical(t));
    return canonicalA == canonicalB;
}

} // namespace vesk
