#include "BrowserCore/Secrets/KeptStarts.h"

#include "BrowserCore/Secrets/HiddenValues.h"
#include "BrowserCore/Secrets/VariableNames.h"
#include "Platform/Text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>

namespace vesk {

namespace {

bool isLineBreak(UChar32 c) { return c == '\r' || c == '\n'; }

// The characters of a text without its line breaks, each case-folded, and
// where each ends in the text (bytes).
struct Characters {
    std::vector<UChar32> folded;
    std::vector<std::size_t> ends;
};

Characters charactersOf(std::string_view text) {
    Characters out;
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(text.data(), i, length, c);
        if (c < 0) c = 0xFFFD;
        if (isLineBreak(c)) continue;
        out.folded.push_back(u_foldCase(c, U_FOLD_CASE_DEFAULT));
        out.ends.push_back(static_cast<std::size_t>(i));
    }
    return out;
}

} // namespace

std::vector<KeptStart> startsKept(std::string_view written, const std::map<std::string, std::string>& values,
                                  std::string_view held) {
    const Characters kept = charactersOf(held);
    std::size_t at = 0;  // characters of `held` matched so far
    for (const auto& piece : cutAtReferences(written, [&](const std::string& name) { return values.contains(name); })) {
        const std::size_t rest = kept.folded.size() - at;
        if (rest == 0) return {};
        const std::string_view typed = piece.reference ? std::string_view(values.at(*piece.reference)) : piece.text;
        const Characters characters = charactersOf(typed);
        const std::size_t compared = std::min(rest, characters.folded.size());
        if (!std::equal(characters.folded.begin(), characters.folded.begin() + static_cast<std::ptrdiff_t>(compared),
                        kept.folded.begin() + static_cast<std::ptrdiff_t>(at))) {
            return {};
        }
        if (rest >= characters.folded.size()) {
            at += characters.folded.size();
            continue;
        }
        // `held` ends inside this piece.
        if (!piece.reference || piece.reference->ends_with(".otp")) return {};
        std::vector<KeptStart> starts{{*piece.reference, std::string(typed.substr(0, characters.ends[rest - 1]))}};
        std::string asHeld = text::withoutLineBreaks(starts.front().start);
        if (text::characterCount(asHeld) < HiddenValues::shortestCut) return {};
        if (asHeld != starts.front().start) starts.push_back({*piece.reference, std::move(asHeld)});
        return starts;
    }
    return {};
}

bool begins(const KeptStart& start, std::string_view value) {
    auto beginsProperly = [&](std::string_view whole) {
        return whole.size() > start.start.size() && whole.starts_with(start.start);
    };
    return !start.start.empty() && (beginsProperly(value) || beginsProperly(text::withoutLineBreaks(value)));
}

bool KeptStarts::add(KeptStart start) {
    if (std::find(starts_.begin(), starts_.end(), start) != starts_.end()) return false;
    const std::string name = start.name;
    starts_.push_back(std::move(start));
    auto sameValue = [&](const KeptStart& entry) { return entry.name == name; };
    if (static_cast<std::size_t>(std::count_if(starts_.begin(), starts_.end(), sameValue)) > keptOfAValue) {
        starts_.erase(std::find_if(starts_.begin(), starts_.end(), sameValue));
    }
    if (starts_.size() > kept) starts_.pop_front();
    return true;
}

} // namespace vesk
