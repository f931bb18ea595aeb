#include "BrowserCore/Secrets/VariableNames.h"

namespace vesk {

namespace {

bool startsIdentifier(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool continuesIdentifier(char c) { return startsIdentifier(c) || (c >= '0' && c <= '9'); }

// The length of the identifier at `at`, or 0.
std::size_t identifierLength(std::string_view text, std::size_t at) {
    if (at >= text.size() || !startsIdentifier(text[at])) return 0;
    std::size_t end = at + 1;
    while (end < text.size() && continuesIdentifier(text[end])) ++end;
    return end - at;
}

// The length of the reference that starts at `at` ("${" there), or 0.
std::size_t referenceLength(std::string_view text, std::size_t at) {
    std::size_t end = at + 2;
    std::size_t name = identifierLength(text, end);
    if (name == 0) return 0;
    end += name;
    if (end < text.size() && text[end] == '.') {
        std::size_t field = identifierLength(text, end + 1);
        if (field == 0) return 0;
        end += 1 + field;
    }
    if (end >= text.size() || text[end] != '}') return 0;
    return end + 1 - at;
}

// Walks the references of `text` left to right: `onReference` gets the
// start of each one (in bytes), its length and its name. A reference is
// ASCII, so a byte of a longer UTF-8 character never starts or ends one.
void walkReferences(std::string_view text,
                    const std::function<void(std::size_t, std::size_t, const std::string&)>& onReference) {
    for (std::size_t at = text.find("${"); at != std::string_view::npos;) {
        if (std::size_t length = referenceLength(text, at)) {
            onReference(at, length, std::string(text.substr(at + 2, length - 3)));
            at = text.find("${", at + length);
        } else {
            at = text.find("${", at + 1);
        }
    }
}

} // namespace

std::vector<std::string> variableNames(std::string_view text) {
    std::vector<std::string> names;
    walkReferences(text, [&](std::size_t, std::size_t, const std::string& name) { names.push_back(name); });
    return names;
}

std::string replacedReferences(std::string_view text, const std::function<std::string(const std::string&)>& valueOf) {
    std::string out;
    std::size_t from = 0;
    walkReferences(text, [&](std::size_t at, std::size_t length, const std::string& name) {
        out.append(text.substr(from, at - from));
        out += valueOf(name);
        from = at + length;
    });
    out.append(text.substr(from));
    return out;
}

std::vector<TextPiece> cutAtReferences(std::string_view text, const std::function<bool(const std::string&)>& taken) {
    std::vector<TextPiece> pieces;
    std::size_t from = 0;
    walkReferences(text, [&](std::size_t at, std::size_t length, const std::string& name) {
        if (!taken(name)) return;
        if (at > from) pieces.push_back({std::string(text.substr(from, at - from)), std::nullopt});
        pieces.push_back({std::string(text.substr(at, length)), name});
        from = at + length;
    });
    if (from < text.size() || pieces.empty()) pieces.push_back({std::string(text.substr(from)), std::nullopt});
    return pieces;
}

} // namespace vesk
