#pragma once

// References to stored values in flow steps and filled text: "${NAME}", or
// "${NAME.field}" for a credential's user, password or current code.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// The text inside the braces of each reference, left to right, repeats
// included: "NAME" or "NAME.field". A name and a field each start with an
// ASCII letter or "_" followed by ASCII letters, digits or "_".
std::vector<std::string> variableNames(std::string_view text);

// `text` with each reference replaced by `valueOf` its name, in one pass over
// the text: what a value holds, a reference included, stays as it is.
std::string replacedReferences(std::string_view text, const std::function<std::string(const std::string&)>& valueOf);

// A stretch of a text, or one of its references as written.
struct TextPiece {
    std::string text;
    std::optional<std::string> reference;  // the name inside the braces
};

// `text` cut at each of its references whose name `taken` accepts: the
// stretches between them (none empty) and those references, in order. What
// finds values in a text looks only in the stretches, so that no reference
// is ever rewritten for the letters it holds.
std::vector<TextPiece> cutAtReferences(std::string_view text, const std::function<bool(const std::string&)>& taken);

} // namespace vesk
