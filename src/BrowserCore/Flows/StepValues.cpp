#include "BrowserCore/Flows/StepValues.h"

#include "BrowserCore/FlowModel/FlowError.h"

#include <optional>
#include <vector>

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

struct Reference {
    std::size_t at;      // of "${"
    std::size_t length;  // through "}"
    std::string name;    // inside the braces
};

// The length of the reference that starts at `at` ("${" there), or none.
std::optional<std::size_t> referenceLength(std::string_view text, std::size_t at) {
    std::size_t end = at + 2;
    std::size_t name = identifierLength(text, end);
    if (name == 0) return std::nullopt;
    end += name;
    if (end < text.size() && text[end] == '.') {
        std::size_t field = identifierLength(text, end + 1);
        if (field == 0) return std::nullopt;
        end += 1 + field;
    }
    if (end >= text.size() || text[end] != '}') return std::nullopt;
    return end + 1 - at;
}

std::vector<Reference> references(std::string_view text) {
    std::vector<Reference> found;
    for (std::size_t at = text.find("${"); at != std::string_view::npos;) {
        if (auto length = referenceLength(text, at)) {
            found.push_back({at, *length, std::string(text.substr(at + 2, *length - 3))});
            at = text.find("${", at + *length);
        } else {
            at = text.find("${", at + 1);
        }
    }
    return found;
}

} // namespace

std::string substitutedStepValue(std::string_view text, const std::map<std::string, std::string>& values) {
    const std::vector<Reference> found = references(text);
    for (const auto& reference : found) {
        if (!values.contains(reference.name)) throw FlowError::missingVariable(reference.name);
    }
    std::string out;
    std::size_t from = 0;
    for (const auto& reference : found) {
        out.append(text, from, reference.at - from);
        out += values.at(reference.name);
        from = reference.at + reference.length;
    }
    out.append(text, from, std::string_view::npos);
    return out;
}

} // namespace vesk
