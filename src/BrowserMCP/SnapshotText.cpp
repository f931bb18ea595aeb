#include "BrowserMCP/PageRendering.h"

#include "Platform/Text.h"

#include <functional>
#include <unordered_set>

namespace vesk::PageRendering {

namespace {

constexpr std::size_t compactElementLimit = 80;
constexpr std::size_t fullElementLimit = 200;
constexpr std::size_t compactTextBudget = 3000;
constexpr std::size_t fullTextBudget = 8000;
constexpr std::size_t repeatThreshold = 5;

// What identifies an element across two snapshots, whose refs differ.
struct ElementKind {
    std::string role;
    std::string name;
    std::optional<std::string> href;
    std::optional<std::string> value;

    explicit ElementKind(const PageElement& element)
        : role(text::canonical(element.role)), name(text::canonical(element.name)) {
        if (element.href) href = text::canonical(*element.href);
        if (element.value) value = text::canonical(*element.value);
    }
    bool operator==(const ElementKind&) const = default;
};

struct ElementKindHash {
    std::size_t operator()(const ElementKind& kind) const {
        std::hash<std::string> hash;
        std::size_t seed = hash(kind.role);
        auto mix = [&seed](std::size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
        mix(hash(kind.name));
        mix(kind.href ? hash(*kind.href) : 0x51);
        mix(kind.value ? hash(*kind.value) : 0x73);
        return seed;
    }
};

// Leaves out an unnamed link right after a link to the same address (another
// element without a link may stand between them): it adds nothing.
std::vector<const PageElement*> listedElements(const std::vector<PageElement>& elements) {
    std::vector<const PageElement*> kept;
    kept.reserve(elements.size());
    std::optional<std::string> lastHref;
    for (const auto& element : elements) {
        std::optional<std::string> href;
        if (element.href) href = text::canonical(*element.href);
        const bool repeat = href && element.name.empty() && href == lastHref;
        if (href) lastHref = std::move(href);
        if (!repeat) kept.push_back(&element);
    }
    return kept;
}

std::string downloadLine(const DownloadedFile& file) {
    std::string line = "Downloaded: " + PageRendering::quoted(file.name) + " (";
    if (file.type) line += *file.type + ", ";
    line += std::to_string(file.size) + " bytes), saved at " + file.path;
    return line;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += separator;
        out += parts[i];
    }
    return out;
}

struct Selection {
    std::vector<const PageElement*> listed;
    std::string heading;
};

Selection fullSelection(const std::vector<const PageElement*>& remaining, const PageSnapshot& page) {
    const std::size_t total = remaining.size();
    if (total <= fullElementLimit) return {remaining, "Elements (" + std::to_string(total) + "):"};

    // On-screen elements first, then the others, each in document order;
    // listed again in document order.
    std::vector<bool> chosen(total, false);
    std::size_t count = 0;
    for (std::size_t i = 0; i < total && count < fullElementLimit; ++i) {
        if (page.onScreen.contains(remaining[i]->ref)) {
            chosen[i] = true;
            ++count;
        }
    }
    for (std::size_t i = 0; i < total && count < fullElementLimit; ++i) {
        if (!chosen[i]) {
            chosen[i] = true;
            ++count;
        }
    }
    Selection selection;
    for (std::size_t i = 0; i < total; ++i) {
        if (chosen[i]) selection.listed.push_back(remaining[i]);
    }
    selection.heading = "Elements (" + std::to_string(count) + " of " + std::to_string(total) +
                        ", those on screen first; scroll to reach the rest):";
    return selection;
}

Selection compactSelection(const std::vector<const PageElement*>& remaining, const PageSnapshot& page,
                           const std::optional<PageSnapshot>& previous) {
    const std::size_t total = remaining.size();
    std::vector<const PageElement*> taken;
    for (const auto* element : remaining) {
        if (page.onScreen.contains(element->ref)) taken.push_back(element);
    }
    const bool anyOnScreen = !taken.empty();
    if (!anyOnScreen) taken = remaining;

    // Elements the page before had too are already known to the agent; they
    // are left out only when there are enough of them to matter.
    std::size_t repeated = 0;
    if (previous) {
        std::unordered_set<ElementKind, ElementKindHash> before;
        for (const auto& element : previous->elements) before.emplace(element);
        std::vector<bool> isRepeat(taken.size(), false);
        for (std::size_t i = 0; i < taken.size(); ++i) {
            if (before.contains(ElementKind(*taken[i]))) {
                isRepeat[i] = true;
                ++repeated;
            }
        }
        if (repeated >= repeatThreshold) {
            std::vector<const PageElement*> fresh;
            for (std::size_t i = 0; i < taken.size(); ++i) {
                if (!isRepeat[i]) fresh.push_back(taken[i]);
            }
            taken = std::move(fresh);
        } else {
            repeated = 0;
        }
    }
    if (taken.size() > compactElementLimit) taken.resize(compactElementLimit);

    Selection selection{taken, ""};
    if (taken.size() == total) {
        selection.heading = "Elements (" + std::to_string(total) + "):";
    } else {
        std::vector<std::string> qualifiers;
        if (anyOnScreen) qualifiers.emplace_back("those on screen");
        if (repeated >= repeatThreshold) {
            qualifiers.push_back("without " + std::to_string(repeated) +
                                 " the page before had too, under other refs here: find gives them");
        }
        selection.heading = "Elements (" + std::to_string(taken.size()) + " of " + std::to_string(total) +
                            (qualifiers.empty() ? "" : ", " + joined(qualifiers, ", ")) + "):";
    }
    return selection;
}

// Appends the text heading and the quoted text; returns how many characters
// were left out.
std::size_t appendText(Lines& lines, const PageSnapshot& page, std::size_t budget) {
    const std::string pageText = text::validUtf8(page.text);
    if (page.textWithheld) {
        // Nothing of the page's text was read out: no count of it.
        lines.emplace_back("Text (withheld):");
        for (auto& line : quoteLines(pageText)) lines.push_back(std::move(line));
        return 0;
    }
    std::string shown;
    std::size_t total = 0;
    std::string heading;
    const bool splitsContent = page.mainText && !page.mainText->empty() && page.aroundText &&
                               !page.aroundText->empty() && text::characterCount(pageText) > budget;
    if (splitsContent) {
        // The main content first, so that the budget goes to what matters.
        const std::string mainText = text::validUtf8(*page.mainText);
        const std::string combined = mainText + "\n" + text::validUtf8(*page.aroundText);
        total = text::characterCount(combined);
        shown = text::prefix(combined, budget);
        const std::size_t kept = text::characterCount(shown);
        const std::string counts = std::to_string(kept) + " of " + std::to_string(total);
        const std::string leftOut = std::to_string(total - kept);
        if (text::characterCount(mainText) >= budget) {
            heading = "Text (" + counts + " characters: the page's main content, cut at its end; " + leftOut +
                      " left out, its header, menus and footer among them):";
        } else {
            heading = "Text (" + counts + " characters: the page's main content, then its header, menus and footer, "
                      "cut at their end; " + leftOut + " left out):";
        }
        lines.push_back(std::move(heading));
        for (auto& line : quoteLines(shown)) lines.push_back(std::move(line));
        return total - kept;
    }
    total = text::characterCount(pageText);
    shown = text::prefix(pageText, budget);
    const std::size_t kept = text::characterCount(shown);
    heading = "Text (" + std::to_string(kept) + " of " + std::to_string(total) + " characters";
    if (total > kept) heading += "; " + std::to_string(total - kept) + " left out at the end";
    heading += "):";
    lines.push_back(std::move(heading));
    for (auto& line : quoteLines(shown)) lines.push_back(std::move(line));
    return total - kept;
}

} // namespace

std::string snapshot(const PageSnapshot& page, bool compact, const std::optional<PageSnapshot>& previous) {
    const std::vector<const PageElement*> remaining = listedElements(page.elements);

    Lines lines{pageHeader(page.title, page.url)};
    for (const auto& file : page.downloads) lines.push_back(downloadLine(file));

    const Selection selection =
        compact ? compactSelection(remaining, page, previous) : fullSelection(remaining, page);
    lines.push_back(selection.heading);
    const NameSet duplicates = duplicateLinkNames(page.elements);
    for (const auto* element : selection.listed) lines.push_back(elementLine(*element, page.url, &duplicates));

    if (page.cover) {
        for (auto& line : coverLines(page.cover->name, page.cover->refs, page)) lines.push_back(std::move(line));
    }

    const std::size_t leftOut = appendText(lines, page, compact ? compactTextBudget : fullTextBudget);

    std::string out;
    if (page.httpStatus) {
        out += "HTTP " + std::to_string(*page.httpStatus) +
               ": the server answered with an error, and this is the page it sent instead.\n";
    }
    if (!page.unansweredFrames.empty()) {
        out += "Frames that did not answer in time, whose elements are left out: " +
               text::validUtf8(joined(page.unansweredFrames, ", ")) + ". A later snapshot lists them once they answer.\n";
    }
    out += pageContent(lines);
    if (compact && (selection.listed.size() < remaining.size() || leftOut >= 1)) {
        out += "\nThis is what the page has on screen; find looks for one thing in the rest, and snapshot gives all of it.";
    }
    return out;
}

} // namespace vesk::PageRendering
