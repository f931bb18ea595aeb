#include "BrowserCore/Secrets/HiddenValues.h"

#include "BrowserCore/Secrets/ComparedCharacters.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <unordered_set>

namespace vesk {

namespace {

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
    std::vector<UChar32> characters =
        comparedValue(icu::UnicodeString::fromUTF8(icu::StringPiece(form.data(), static_cast<int32_t>(form.size()))));
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
            nodes_.back().afterSpace = character == ' ';
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
        // An invisible character was just passed over: a value goes on
        // after it or is not found, so that a match never ends with one.
        bool passedOver;
    };
    std::vector<State> pending{{0, at, false}};
    // Each state is followed once. Every reading moves on in the text, so
    // paths never loop, and while none has forked none can meet another;
    // most searches see a handful of states.
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
        if (!state.passedOver && (node.whole != none || cutHere)) {
            std::size_t length = shownCharacters(chars, at, state.at);
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
            auto follow = [&](uint32_t next, bool passedOver) {
                uint64_t key = static_cast<uint64_t>(next) << 32 | static_cast<uint64_t>(reading.end) << 1 | passedOver;
                if (firstVisit(key)) pending.push_back({next, reading.end, passedOver});
            };
            ComparedCharacter compared = comparedCharacter(reading.character);
            // A run of white space reads as the space it follows.
            if (compared.kind == ComparedCharacter::Kind::space && node.afterSpace) follow(state.node, false);
            // An invisible character between a value's characters is passed
            // over; one that a value holds alone is matched as it stands.
            if (compared.kind == ComparedCharacter::Kind::ignorable && state.node != 0) follow(state.node, true);
            uint32_t next = state.node;
            for (int i = 0; i < compared.count && next != none; ++i) next = child(next, compared.characters[i]);
            if (next != none) follow(next, false);
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
            if (asciiRoots_[static_cast<std::size_t>(comparedCharacter(unit).characters[0])] == none) continue;
        } else if (unit >= 0x80) {
            if (child(0, comparedCharacter(chars.char32At(at)).characters[0]) == none) continue;
        }
        bool exhausted = false;
        auto match = matchAt(text, at, stepLimit, exhausted);
        if (exhausted) return {std::nullopt, true};
        if (match) return {match, false};
    }
    return {};
}

} // namespace vesk
