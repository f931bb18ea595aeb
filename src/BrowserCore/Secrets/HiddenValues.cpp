#include "BrowserCore/Secrets/HiddenValues.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <unordered_set>

namespace vesk {

namespace {

// The full case folding of one character, as ICU's case-insensitive
// matching folds it ("ß" gives "ss"); at most three characters.
int folded(UChar32 character, UChar32 (&out)[3]) {
    if (character < 0x80) {
        out[0] = character >= 'A' && character <= 'Z' ? character + ('a' - 'A') : character;
        return 1;
    }
    UChar source[U16_MAX_LENGTH];
    int32_t length = 0;
    U16_APPEND_UNSAFE(source, length, character);
    UChar result[8];
    UErrorCode status = U_ZERO_ERROR;
    int32_t resultLength = u_strFoldCase(result, 8, source, length, U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) {
        out[0] = character;
        return 1;
    }
    int count = 0;
    for (int32_t i = 0; i < resultLength && count < 3;) {
        U16_NEXT(result, i, resultLength, out[count]);
        ++count;
    }
    return count;
}

bool isLetterOrNumber(UChar32 character) {
    return (U_GET_GC_MASK(character) & (U_GC_L_MASK | U_GC_N_MASK)) != 0;
}

struct Candidate {
    uint32_t rank;
    int kind;  // 0 whole, 1 cut short by "…", 2 whole and short
    int32_t end;
    bool betterThan(const Candidate& other) const {
        if (rank != other.rank) return rank < other.rank;
        if (kind != other.kind) return kind < other.kind;
        return end > other.end;
    }
};

} // namespace

uint32_t HiddenValues::child(uint32_t node, UChar32 character) const {
    const auto& children = nodes_[node].children;
    auto found = std::lower_bound(children.begin(), children.end(), character,
                                  [](const auto& entry, UChar32 c) { return entry.first < c; });
    return found != children.end() && found->first == character ? found->second : none;
}

void HiddenValues::add(std::string_view form, uint32_t rank) {
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(form.data(), static_cast<int32_t>(form.size())));
    std::vector<UChar32> characters;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        UChar32 out[3];
        int count = folded(text.char32At(i), out);
        characters.insert(characters.end(), out, out + count);
    }
    if (characters.empty()) return;
    holdsBackslash_ = holdsBackslash_ || std::find(characters.begin(), characters.end(), '\\') != characters.end();
    uint32_t node = 0;
    for (std::size_t depth = 0; depth < characters.size(); ++depth) {
        if (depth >= 1 && depth <= longestCut) nodes_[node].cut = std::min(nodes_[node].cut, rank);
        UChar32 character = characters[depth];
        uint32_t next = child(node, character);
        if (next == none) {
            next = static_cast<uint32_t>(nodes_.size());
            auto& children = nodes_[node].children;
            auto at = std::lower_bound(children.begin(), children.end(), character,
                                       [](const auto& entry, UChar32 c) { return entry.first < c; });
            children.insert(at, {character, next});
            if (node == 0 && character < 0x80) asciiRoots_[static_cast<std::size_t>(character)] = next;
            nodes_.emplace_back();
        }
        node = next;
    }
    nodes_[node].whole = std::min(nodes_[node].whole, rank);
}

std::optional<HiddenValues::Match> HiddenValues::matchAt(EscapedText& text, int32_t at, std::size_t stepLimit,
                                                         bool& exhausted) const {
    const icu::UnicodeString& chars = text.text();
    std::optional<Candidate> best;
    auto offer = [&](Candidate candidate) {
        if (!best || candidate.betterThan(*best)) best = candidate;
    };
    auto standsAlone = [&](int32_t end) {
        return (at == 0 || !isLetterOrNumber(chars.char32At(at - 1))) &&
               (end >= chars.length() || !isLetterOrNumber(chars.char32At(end)));
    };
    struct State {
        uint32_t node;
        int32_t at;
    };
    std::vector<State> pending{{0, at}};
    // Each state is followed once. Every reading takes at least one
    // character of a value, so paths never loop, and while none has forked
    // none can meet another; most searches see a handful of states.
    bool forked = false;
    std::vector<uint64_t> seenFew;
    std::unordered_set<uint64_t> seenMany;
    auto firstVisit = [&](uint64_t key) {
        if (!forked) return true;
        if (seenFew.size() < 32) {
            if (std::find(seenFew.begin(), seenFew.end(), key) != seenFew.end()) return false;
            seenFew.push_back(key);
            return true;
        }
        if (seenMany.empty()) seenMany.insert(seenFew.begin(), seenFew.end());
        return seenMany.insert(key).second;
    };
    while (!pending.empty()) {
        if (text.steps() > stepLimit) {
            exhausted = true;
            return std::nullopt;
        }
        State state = pending.back();
        pending.pop_back();
        const Node& node = nodes_[state.node];
        bool cutHere = node.cut != none && state.at < chars.length() && chars.charAt(state.at) == u'\u2026';
        if (node.whole != none || cutHere) {
            auto length = static_cast<std::size_t>(chars.countChar32(at, state.at - at));
            if (node.whole != none) {
                if (length >= standsAloneBelow) {
                    offer({node.whole, 0, state.at});
                } else if (standsAlone(state.at)) {
                    offer({node.whole, 2, state.at});
                }
            }
            if (cutHere && length >= shortestCut) offer({node.cut, 1, state.at});
        }
        if (node.children.empty()) continue;
        text.forEachReading(state.at, EscapedText::maxDepth, [&](const EscapedText::Reading& reading) {
            UChar32 characters[3];
            int count = folded(reading.character, characters);
            uint32_t next = state.node;
            for (int i = 0; i < count && next != none; ++i) next = child(next, characters[i]);
            if (next == none) return;
            if (firstVisit(static_cast<uint64_t>(next) << 32 | static_cast<uint32_t>(reading.end))) {
                pending.push_back({next, reading.end});
            }
        });
        forked = forked || pending.size() > 1;
    }
    if (!best) return std::nullopt;
    return Match{at, best->end, best->rank};
}

HiddenValues::Found HiddenValues::find(EscapedText& text, int32_t from, std::size_t stepLimit) const {
    const icu::UnicodeString& chars = text.text();
    for (int32_t at = from; at < chars.length(); at = chars.moveIndex32(at, 1)) {
        // Most places begin with a character that is no escape and that no
        // value begins with.
        UChar unit = chars.charAt(at);
        if (unit < 0x80 && !EscapedText::beginsEscape(unit)) {
            UChar lower = unit >= 'A' && unit <= 'Z' ? static_cast<UChar>(unit + ('a' - 'A')) : unit;
            if (asciiRoots_[lower] == none) continue;
        } else if (unit >= 0x80) {
            UChar32 first[3];
            folded(chars.char32At(at), first);
            if (child(0, first[0]) == none) continue;
        }
        bool exhausted = false;
        auto match = matchAt(text, at, stepLimit, exhausted);
        if (exhausted) return {std::nullopt, true};
        if (match) return {match, false};
    }
    return {};
}

} // namespace vesk
