#pragma once

// The value records that describe a page as the page agent sees it and what an
// action did to it. All are plain values. Equality covers every field (also
// those that are not coded), and texts compare equal when they are
// canonically equivalent Unicode.
//
// JSON coding uses the field names as keys. Encoding leaves out an optional
// field without a value (never null). Decoding ignores unknown keys, reads a
// missing or null optional key as none, and throws RecordDecodingError for a
// missing required key or a value of the wrong type; nothing partial is
// returned. Use `json.get<PageSnapshot>()` and `nlohmann::ordered_json(record)`
// (the ordered form writes keys in field order).

#include "BrowserCore/Records/NetworkRequest.h"
#include "BrowserCore/Records/RecordDecodingError.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// One thing on the page that the page agent exposes (control, link, field…).
struct PageElement {
    std::string ref;   // unique within one snapshot; commands name elements by it
    std::string role;
    std::string name;
    std::string tag;
    std::optional<std::string> context;  // text that places the element on the page
    std::optional<std::string> frame;    // the frame it lies in, as the page agent names it
    std::optional<std::string> value;
    std::optional<bool> checked;         // absent, false and true are three states
    std::optional<bool> disabled;
    std::optional<std::string> href;
    std::optional<std::string> type;
    std::optional<bool> required;
    std::optional<std::string> options;  // the element's choices, as one text

    bool operator==(const PageElement& other) const;
};

// A file that a page load turned into a download.
struct DownloadedFile {
    std::string name;  // the saved file's name
    std::string path;  // its full path
    std::int64_t size = 0;  // bytes
    std::optional<std::string> type;  // media type of the response

    bool operator==(const DownloadedFile& other) const;
};

// A dialog or notice that lies over the page.
struct PageCover {
    std::string name;
    std::vector<std::string> refs;  // refs of its controls

    bool operator==(const PageCover& other) const;
};

// What one action changed between two snapshots.
struct SnapshotDiff {
    std::vector<PageElement> added;    // in the later snapshot's order
    std::vector<std::string> removed;  // refs, in the earlier snapshot's order
    std::vector<PageElement> changed;  // each in its later state, in the later snapshot's order
    bool textChanged = false;

    // Nothing added, removed or changed, and the text is the same.
    bool isEmpty() const;

    bool operator==(const SnapshotDiff& other) const;
};

// What one scan of a window found.
struct PageSnapshot {
    std::string url;
    std::string title;
    std::vector<PageElement> elements;  // in page order
    std::set<std::string> onScreen;     // refs of the elements on screen; coded in no fixed order
    std::string text;
    std::optional<std::string> mainText;
    std::optional<std::string> aroundText;  // header, menus, footer
    std::optional<int> httpStatus;          // the error status (400–599) the document came with
    std::optional<PageCover> cover;
    std::vector<DownloadedFile> downloads;        // not coded; filled by the session
    std::vector<std::string> unansweredFrames;    // not coded; filled by the session
    // Not coded; set by redaction when `text` could not be checked for
    // stored values and so stands withheld.
    bool textWithheld = false;

    // What changed from `earlier` to this snapshot. Elements are identified by
    // ref alone; only the elements and `text` take part.
    SnapshotDiff diff(const PageSnapshot& earlier) const;

    // The first element with that ref; none when no element has it.
    std::optional<PageElement> element(std::string_view ref) const;

    bool operator==(const PageSnapshot& other) const;
};

// A dialog or window that the page opened.
struct DialogRecord {
    enum class Kind { alert, confirm, prompt, fileInput, popup };

    Kind kind = Kind::alert;
    std::string message;

    // "alert", "confirm", "prompt", "fileInput", "popup".
    static std::string_view kindName(Kind kind);
    // The kind of one of those five texts; none for any other text.
    static std::optional<Kind> kindNamed(std::string_view name);

    bool operator==(const DialogRecord& other) const;
};

// What one action did. Every field is always coded.
struct ActionResult {
    std::string url;    // the page's address after the action
    std::string title;  // the page's title after the action
    bool navigated = false;
    bool settled = false;
    SnapshotDiff changes;
    std::vector<PageElement> suggestions;
    std::vector<DialogRecord> dialogs;
    std::int64_t consoleErrors = 0;
    std::vector<NetworkRequest> failedRequests;
    std::string window;  // the window active after the action
    bool switchedWindow = false;

    bool operator==(const ActionResult& other) const;
};

void to_json(nlohmann::json& json, const PageElement& record);
void to_json(nlohmann::ordered_json& json, const PageElement& record);
void from_json(const nlohmann::json& json, PageElement& record);
void from_json(const nlohmann::ordered_json& json, PageElement& record);

void to_json(nlohmann::json& json, const DownloadedFile& record);
void to_json(nlohmann::ordered_json& json, const DownloadedFile& record);
void from_json(const nlohmann::json& json, DownloadedFile& record);
void from_json(const nlohmann::ordered_json& json, DownloadedFile& record);

void to_json(nlohmann::json& json, const PageCover& record);
void to_json(nlohmann::ordered_json& json, const PageCover& record);
void from_json(const nlohmann::json& json, PageCover& record);
void from_json(const nlohmann::ordered_json& json, PageCover& record);

void to_json(nlohmann::json& json, const SnapshotDiff& record);
void to_json(nlohmann::ordered_json& json, const SnapshotDiff& record);
void from_json(const nlohmann::json& json, SnapshotDiff& record);
void from_json(const nlohmann::ordered_json& json, SnapshotDiff& record);

void to_json(nlohmann::json& json, const PageSnapshot& record);
void to_json(nlohmann::ordered_json& json, const PageSnapshot& record);
void from_json(const nlohmann::json& json, PageSnapshot& record);
void from_json(const nlohmann::ordered_json& json, PageSnapshot& record);

void to_json(nlohmann::json& json, const DialogRecord& record);
void to_json(nlohmann::ordered_json& json, const DialogRecord& record);
void from_json(const nlohmann::json& json, DialogRecord& record);
void from_json(const nlohmann::ordered_json& json, DialogRecord& record);

void to_json(nlohmann::json& json, const ActionResult& record);
void to_json(nlohmann::ordered_json& json, const ActionResult& record);
void from_json(const nlohmann::json& json, ActionResult& record);
void from_json(const nlohmann::ordered_json& json, ActionResult& record);

} // namespace vesk
