#include "BrowserMCP/PageRendering.h"

#include "Platform/Text.h"

namespace vesk::PageRendering {

namespace {

constexpr std::size_t matchLimit = 30;
constexpr std::size_t lineLimit = 200;

std::string countHeading(std::string_view word, std::size_t count) {
    if (count <= matchLimit) return std::string(word) + " (" + std::to_string(count) + "):";
    return std::string(word) + " (" + std::to_string(count) + ", first " + std::to_string(matchLimit) + "):";
}

} // namespace

std::string find(std::string_view query, const PageSnapshot& page) {
    // Folded once; each field is folded as it is looked at.
    const std::string needle = text::foldForSearch(text::validUtf8(query));
    // An empty text is in every field, and so tells nothing apart: it matches nothing.
    auto has = [&needle](std::string_view field) {
        return !needle.empty() && text::foldForSearch(text::validUtf8(field)).find(needle) != std::string::npos;
    };
    auto hasOptional = [&has](const std::optional<std::string>& field) { return field && has(*field); };

    std::vector<const PageElement*> elements;
    for (const auto& element : page.elements) {
        if (has(element.name) || has(element.role) || hasOptional(element.context) || hasOptional(element.value) ||
            hasOptional(element.options)) {
            elements.push_back(&element);
        }
    }

    std::vector<std::string> textLines;
    for (auto& line : text::splitLines(text::validUtf8(page.text))) {
        if (!line.empty() && has(line)) textLines.push_back(std::move(line));
    }

    Lines lines{pageHeader(page.title, page.url)};
    if (!elements.empty()) {
        lines.push_back(countHeading("Elements", elements.size()));
        const NameSet duplicates = duplicateLinkNames(page.elements);
        for (std::size_t i = 0; i < elements.size() && i < matchLimit; ++i) {
            lines.push_back(elementLine(*elements[i], page.url, &duplicates));
        }
    }
    if (!textLines.empty()) {
        lines.push_back(countHeading("Lines of text", textLines.size()));
        for (std::size_t i = 0; i < textLines.size() && i < matchLimit; ++i) {
            lines.push_back("| " + text::cut(textLines[i], lineLimit));
        }
    }
    if (elements.empty() && textLines.empty()) {
        lines.push_back("Nothing on the page has " + PageRendering::quoted(query) +
                        " in its name, role, value, options or text.");
    }
    return pageContent(lines);
}

} // namespace vesk::PageRendering
