#include "BrowserCore/Recorders/TypedValueMask.h"

#include "BrowserCore/Secrets/VariableNames.h"
#include "Platform/Text.h"

#include <algorithm>
#include <vector>

namespace vesk {

namespace {

struct Entry {
    const std::string* name;
    const std::string* value;
    std::size_t length;  // user-perceived characters
};

// The text is kept cut into stretches typed as they were and references (those
// typed as written and those already put in), so that a later, shorter value
// is never found inside a reference.
void replaceInPieces(std::vector<TextPiece>& pieces, const std::string& what, const std::string& name) {
    std::vector<TextPiece> out;
    for (auto& piece : pieces) {
        if (piece.reference) {
            out.push_back(std::move(piece));
            continue;
        }
        std::size_t from = 0;
        for (std::size_t at = piece.text.find(what); at != std::string::npos; at = piece.text.find(what, from)) {
            if (at > from) out.push_back({piece.text.substr(from, at - from), std::nullopt});
            out.push_back({"${" + name + "}", name});
            from = at + what.size();
        }
        if (from < piece.text.size()) out.push_back({piece.text.substr(from), std::nullopt});
    }
    pieces = std::move(out);
}

} // namespace

std::string maskTypedValue(std::string_view value, bool secret, const std::map<std::string, std::string>& siteValues) {
    std::vector<Entry> entries;
    for (const auto& [name, stored] : siteValues) {
        if (!stored.empty()) entries.push_back({&name, &stored, text::characterCount(stored)});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.length != b.length) return a.length > b.length;
        return *a.name < *b.name;
    });

    for (const auto& entry : entries) {
        if (*entry.value == value) return "${" + *entry.name + "}";
    }
    if (secret) return "${PASSWORD}";

    // A short value is masked only as the whole text, and a code inside a
    // longer text is a coincidence, not the code.
    auto pieces = cutAtReferences(value, [&](const std::string& name) { return siteValues.contains(name); });
    for (const auto& entry : entries) {
        if (entry.length < 4 || entry.name->ends_with(".otp")) continue;
        replaceInPieces(pieces, *entry.value, *entry.name);
    }
    std::string masked;
    for (const auto& piece : pieces) masked += piece.text;
    return masked;
}

} // namespace vesk
