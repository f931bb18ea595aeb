#include "BrowserMCP/PageRendering.h"

#include "Platform/Text.h"

#include <unordered_set>

namespace vesk::PageRendering {

namespace {

constexpr std::size_t listCap = 30;
constexpr std::size_t addedCap = 80;
constexpr std::size_t removedRangeLimit = 30;
constexpr std::size_t dialogLimit = 10;
constexpr std::size_t dialogMessageLimit = 200;

void append(Lines& lines, Lines more) {
    for (auto& line : more) lines.push_back(std::move(line));
}

// The change list of an action that stayed on its page.
std::string changesPart(const ActionResult& result, const std::optional<PageSnapshot>& after) {
    const SnapshotDiff& changes = result.changes;
    std::optional<NameSet> duplicates;
    if (after) duplicates = duplicateLinkNames(after->elements);
    const NameSet* names = duplicates ? &*duplicates : nullptr;

    Lines lines{pageHeader(result.title, result.url)};
    const std::size_t headerLines = lines.size();
    append(lines, elementList("Changed", changes.changed, result.url, names, listCap));
    append(lines, elementList("Suggestions", result.suggestions, result.url, names, listCap));

    // A suggestion is listed once, among the suggestions.
    std::unordered_set<std::string_view> suggested;
    for (const auto& element : result.suggestions) suggested.insert(element.ref);
    std::vector<PageElement> added;
    for (const auto& element : changes.added) {
        if (!suggested.contains(element.ref)) added.push_back(element);
    }
    std::vector<PageElement> addedOnScreen;
    if (after) {
        for (const auto& element : added) {
            if (after->onScreen.contains(element.ref)) addedOnScreen.push_back(element);
        }
    }
    if (added.size() > addedCap && after && !after->onScreen.empty() && !addedOnScreen.empty() &&
        addedOnScreen.size() <= addedCap) {
        append(lines, elementList("Added (" + std::to_string(added.size()) + ", the " +
                                      std::to_string(addedOnScreen.size()) + " on screen; find looks in the rest)",
                                  addedOnScreen, result.url, names, addedCap));
    } else {
        append(lines, elementList("Added", added, result.url, names, addedCap));
    }

    if (!changes.removed.empty()) {
        const std::vector<std::string> ranges = refRanges(changes.removed);
        std::string shown;
        for (std::size_t i = 0; i < ranges.size() && i < removedRangeLimit; ++i) {
            if (i > 0) shown += ", ";
            shown += ranges[i];
        }
        if (ranges.size() <= removedRangeLimit) {
            lines.push_back("Removed: " + shown);
        } else {
            lines.push_back("Removed (" + std::to_string(changes.removed.size()) + ", first of them): " + shown);
        }
    }

    if (changes.textChanged) {
        lines.emplace_back("The visible text changed; call snapshot to read it.");
    } else if (lines.size() == headerLines) {
        lines.emplace_back("Nothing changed on the page.");
    }
    return pageContent(lines);
}

} // namespace

std::string dialogLine(const DialogRecord& dialog) {
    return std::string(DialogRecord::kindName(dialog.kind)) + " " + PageRendering::quoted(text::cut(dialog.message, dialogMessageLimit));
}

std::string actionResult(const ActionResult& result, const std::optional<PageSnapshot>& after,
                         const std::optional<PageSnapshot>& before) {
    std::vector<std::string> parts;
    if (!result.settled) parts.emplace_back("Warning: the page was still loading or changing when the wait ended.");

    if (result.switchedWindow && after) {
        if (result.window == BrowserSession::mainWindowID) {
            parts.emplace_back("The window closed. Commands are back on the main page.");
        } else {
            parts.push_back("Commands now act on the window " + text::validUtf8(result.window) + ".");
        }
        parts.push_back(snapshot(*after, true));
    } else if (result.navigated && after) {
        parts.emplace_back("Navigated to a new page.");
        parts.push_back(snapshot(*after, true, before));
    } else {
        parts.push_back(changesPart(result, after));
    }

    Lines dialogs;
    Lines popups;
    std::size_t dialogCount = 0;
    for (const auto& dialog : result.dialogs) {
        if (dialog.kind == DialogRecord::Kind::popup) {
            popups.push_back(shortURL(dialog.message, ""));
        } else {
            if (dialogs.size() < dialogLimit) dialogs.push_back(dialogLine(dialog));
            ++dialogCount;
        }
    }
    if (dialogCount > 0) {
        const std::string heading =
            dialogCount <= dialogLimit
                ? std::string("Dialogs answered automatically:\n")
                : "Dialogs answered automatically (" + std::to_string(dialogCount) + ", first " +
                      std::to_string(dialogLimit) + "):\n";
        parts.push_back(heading + pageContent(dialogs));
    }
    if (!popups.empty()) parts.push_back("The page opened a separate window:\n" + pageContent(popups));

    if (result.consoleErrors >= 1) {
        const bool one = result.consoleErrors == 1;
        parts.push_back("The page reported " + std::to_string(result.consoleErrors) + " console error" +
                        (one ? "" : "s") + " meanwhile; console gives " + (one ? "it" : "them") + ".");
    }
    if (!result.failedRequests.empty()) parts.push_back(network(result.failedRequests, 0, true));

    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += '\n';
        out += parts[i];
    }
    return out;
}

} // namespace vesk::PageRendering
