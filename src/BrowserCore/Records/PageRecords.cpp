#include "BrowserCore/Records/PageRecords.h"

#include "BrowserCore/Records/SameText.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace vesk {

namespace {

template <typename T>
bool sameRecords(const std::vector<T>& a, const std::vector<T>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

} // namespace

// MARK: - Equality

bool PageElement::operator==(const PageElement& other) const {
    return sameText(ref, other.ref) && sameText(role, other.role) && sameText(name, other.name) &&
           sameText(tag, other.tag) && sameOptionalText(context, other.context) && sameOptionalText(frame, other.frame) &&
           sameOptionalText(value, other.value) && checked == other.checked && disabled == other.disabled &&
           sameOptionalText(href, other.href) && sameOptionalText(type, other.type) && required == other.required &&
           sameOptionalText(options, other.options);
}

bool DownloadedFile::operator==(const DownloadedFile& other) const {
    return sameText(name, other.name) && sameText(path, other.path) && size == other.size &&
           sameOptionalText(type, other.type);
}

bool PageCover::operator==(const PageCover& other) const {
    return sameText(name, other.name) && sameTexts(refs, other.refs);
}

bool SnapshotDiff::isEmpty() const { return added.empty() && removed.empty() && changed.empty() && !textChanged; }

bool SnapshotDiff::operator==(const SnapshotDiff& other) const {
    return sameRecords(added, other.added) && sameTexts(removed, other.removed) &&
           sameRecords(changed, other.changed) && textChanged == other.textChanged;
}

bool PageSnapshot::operator==(const PageSnapshot& other) const {
    return sameText(url, other.url) && sameText(title, other.title) && sameRecords(elements, other.elements) &&
           sameTexts(onScreen, other.onScreen) && sameText(text, other.text) && sameOptionalText(mainText, other.mainText) &&
           sameOptionalText(aroundText, other.aroundText) && httpStatus == other.httpStatus && cover == other.cover &&
           sameRecords(downloads, other.downloads) && sameTexts(unansweredFrames, other.unansweredFrames) &&
           textWithheld == other.textWithheld;
}

bool DialogRecord::operator==(const DialogRecord& other) const {
    return kind == other.kind && sameText(message, other.message);
}

bool ActionResult::operator==(const ActionResult& other) const {
    return sameText(url, other.url) && sameText(title, other.title) && navigated == other.navigated &&
           settled == other.settled && changes == other.changes && sameRecords(suggestions, other.suggestions) &&
           sameRecords(dialogs, other.dialogs) && consoleErrors == other.consoleErrors &&
           sameRecords(failedRequests, other.failedRequests) && sameText(window, other.window) &&
           switchedWindow == other.switchedWindow;
}

// MARK: - Operations

SnapshotDiff PageSnapshot::diff(const PageSnapshot& earlier) const {
    // Refs are keyed in canonical form so that equality of refs matches the
    // records' text equality. Should a ref ever appear twice in one snapshot,
    // its first element stands for it and later ones are passed over.
    std::unordered_map<std::string, const PageElement*> before;
    before.reserve(earlier.elements.size());
    for (const auto& element : earlier.elements) before.emplace(text::canonical(element.ref), &element);

    std::unordered_set<std::string> after;
    after.reserve(elements.size());
    SnapshotDiff result;
    for (const auto& element : elements) {
        auto ref = text::canonical(element.ref);
        if (!after.insert(ref).second) continue;
        auto found = before.find(ref);
        if (found == before.end()) {
            result.added.push_back(element);
        } else if (!(element == *found->second)) {
            result.changed.push_back(element);
        }
    }
    std::unordered_set<std::string> listed;
    for (const auto& element : earlier.elements) {
        auto ref = text::canonical(element.ref);
        if (!after.contains(ref) && listed.insert(ref).second) result.removed.push_back(element.ref);
    }
    result.textChanged = !sameText(text, earlier.text);
    return result;
}

std::optional<PageElement> PageSnapshot::element(std::string_view ref) const {
    for (const auto& element : elements) {
        if (sameText(element.ref, ref)) return element;
    }
    return std::nullopt;
}

std::string_view DialogRecord::kindName(Kind kind) {
    switch (kind) {
    case Kind::alert: return "alert";
    case Kind::confirm: return "confirm";
    case Kind::prompt: return "prompt";
    case Kind::fileInput: return "fileInput";
    case Kind::popup: return "popup";
    }
    return "alert";
}

std::optional<DialogRecord::Kind> DialogRecord::kindNamed(std::string_view name) {
    for (Kind kind : {Kind::alert, Kind::confirm, Kind::prompt, Kind::fileInput, Kind::popup}) {
        if (kindName(kind) == name) return kind;
    }
    return std::nullopt;
}

} // namespace vesk
