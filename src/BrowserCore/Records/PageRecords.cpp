#include "BrowserCore/Records/PageRecords.h"

#include "BrowserCore/Records/JsonFields.h"
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
           sameRecords(downloads, other.downloads) && sameTexts(unansweredFrames, other.unansweredFrames);
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

// MARK: - Coding

namespace {

using json_fields::putOptional;
using json_fields::Reader;

template <typename Json>
Json encodeElement(const PageElement& e) {
    Json json = Json::object();
    json["ref"] = e.ref;
    json["role"] = e.role;
    json["name"] = e.name;
    json["tag"] = e.tag;
    putOptional(json, "context", e.context);
    putOptional(json, "frame", e.frame);
    putOptional(json, "value", e.value);
    putOptional(json, "checked", e.checked);
    putOptional(json, "disabled", e.disabled);
    putOptional(json, "href", e.href);
    putOptional(json, "type", e.type);
    putOptional(json, "required", e.required);
    putOptional(json, "options", e.options);
    return json;
}

template <typename Json>
PageElement decodeElement(const Json& json, const std::string& path) {
    Reader<Json> read(json, path);
    PageElement e;
    e.ref = read.text("ref");
    e.role = read.text("role");
    e.name = read.text("name");
    e.tag = read.text("tag");
    e.context = read.optionalText("context");
    e.frame = read.optionalText("frame");
    e.value = read.optionalText("value");
    e.checked = read.optionalBoolean("checked");
    e.disabled = read.optionalBoolean("disabled");
    e.href = read.optionalText("href");
    e.type = read.optionalText("type");
    e.required = read.optionalBoolean("required");
    e.options = read.optionalText("options");
    return e;
}

template <typename Json>
Json encodeElements(const std::vector<PageElement>& elements) {
    Json list = Json::array();
    for (const auto& e : elements) list.push_back(encodeElement<Json>(e));
    return list;
}

template <typename Json>
std::vector<PageElement> decodeElements(const Reader<Json>& read, const char* key) {
    return read.list(key, [](const Json& item, const std::string& path) { return decodeElement(item, path); });
}

template <typename Json>
Json encodeDownload(const DownloadedFile& f) {
    Json json = Json::object();
    json["name"] = f.name;
    json["path"] = f.path;
    json["size"] = f.size;
    putOptional(json, "type", f.type);
    return json;
}

template <typename Json>
DownloadedFile decodeDownload(const Json& json, const std::string& path) {
    Reader<Json> read(json, path);
    DownloadedFile f;
    f.name = read.text("name");
    f.path = read.text("path");
    f.size = read.template integer<std::int64_t>("size");
    f.type = read.optionalText("type");
    return f;
}

template <typename Json>
Json encodeCover(const PageCover& c) {
    Json json = Json::object();
    json["name"] = c.name;
    json["refs"] = c.refs;
    return json;
}

template <typename Json>
PageCover decodeCover(const Json& json, const std::string& path) {
    Reader<Json> read(json, path);
    PageCover c;
    c.name = read.text("name");
    c.refs = read.texts("refs");
    return c;
}

template <typename Json>
Json encodeDiff(const SnapshotDiff& d) {
    Json json = Json::object();
    json["added"] = encodeElements<Json>(d.added);
    json["removed"] = d.removed;
    json["changed"] = encodeElements<Json>(d.changed);
    json["textChanged"] = d.textChanged;
    return json;
}

template <typename Json>
SnapshotDiff decodeDiff(const Json& json, const std::string& path) {
    Reader<Json> read(json, path);
    SnapshotDiff d;
    d.added = decodeElements(read, "added");
    d.removed = read.texts("removed");
    d.changed = decodeElements(read, "changed");
    d.textChanged = read.boolean("textChanged");
    return d;
}

template <typename Json>
Json encodeSnapshot(const PageSnapshot& s) {
    Json json = Json::object();
    json["url"] = s.url;
    json["title"] = s.title;
    json["elements"] = encodeElements<Json>(s.elements);
    json["onScreen"] = Json(s.onScreen);
    json["text"] = s.text;
    putOptional(json, "mainText", s.mainText);
    putOptional(json, "aroundText", s.aroundText);
    putOptional(json, "httpStatus", s.httpStatus);
    if (s.cover) json["cover"] = encodeCover<Json>(*s.cover);
    return json;
}

template <typename Json>
PageSnapshot decodeSnapshot(const Json& json, const std::string& path) {
    Reader<Json> read(json, path);
    PageSnapshot s;
    s.url = read.text("url");
    s.title = read.text("title");
    s.elements = decodeElements(read, "elements");
    for (auto& ref : read.texts("onScreen")) s.onScreen.insert(std::move(ref));
    s.text = read.text("text");
    s.mainText = read.optionalText("mainText");
    s.aroundText = read.optionalText("aroundText");
    s.httpStatus = read.template optionalInteger<int>("httpStatus");
    if (const Json* cover = read.optional("cover")) s.cover = decodeCover(*cover, json_fields::join(path, "cover"));
    return s;
}

template <typename Json>
Json encodeDialog(const DialogRecord& d) {
    Json json = Json::object();
    json["kind"] = std::string(DialogRecord::kindName(d.kind));
    json["message"] = d.message;
    return json;
}

template <typename Json>
DialogRecord decodeDialog(const Json& json, const std::string& path) {
    Reader<Json> read(json, path);
    DialogRecord d;
    auto kind = read.text("kind");
    auto known = DialogRecord::kindNamed(kind);
    if (!known) throw RecordDecodingError(json_fields::join(path, "kind") + " is not a dialog kind: \"" + kind + "\"");
    d.kind = *known;
    d.message = read.text("message");
    return d;
}

template <typename Json>
Json encodeResult(const ActionResult& r) {
    Json json = Json::object();
    json["url"] = r.url;
    json["title"] = r.title;
    json["navigated"] = r.navigated;
    json["settled"] = r.settled;
    json["changes"] = encodeDiff<Json>(r.changes);
    json["suggestions"] = encodeElements<Json>(r.suggestions);
    Json dialogs = Json::array();
    for (const auto& d : r.dialogs) dialogs.push_back(encodeDialog<Json>(d));
    json["dialogs"] = std::move(dialogs);
    json["consoleErrors"] = r.consoleErrors;
    Json failed = Json::array();
    for (const auto& request : r.failedRequests) failed.push_back(Json(request));
    json["failedRequests"] = std::move(failed);
    json["window"] = r.window;
    json["switchedWindow"] = r.switchedWindow;
    return json;
}

template <typename Json>
ActionResult decodeResult(const Json& json, const std::string& path) {
    Reader<Json> read(json, path);
    ActionResult r;
    r.url = read.text("url");
    r.title = read.text("title");
    r.navigated = read.boolean("navigated");
    r.settled = read.boolean("settled");
    r.changes = decodeDiff(read.required("changes"), json_fields::join(path, "changes"));
    r.suggestions = decodeElements(read, "suggestions");
    r.dialogs = read.list("dialogs", [](const Json& item, const std::string& p) { return decodeDialog(item, p); });
    r.consoleErrors = read.template integer<std::int64_t>("consoleErrors");
    r.failedRequests =
        read.list("failedRequests", [](const Json& item, const std::string& p) { return json_fields::decodeNetworkRequest(item, p); });
    r.window = read.text("window");
    r.switchedWindow = read.boolean("switchedWindow");
    return r;
}

} // namespace

#define VESK_RECORD_CODING(Record, encodeFn, decodeFn)                                                      \
    void to_json(nlohmann::json& json, const Record& record) { json = encodeFn<nlohmann::json>(record); }   \
    void to_json(nlohmann::ordered_json& json, const Record& record) {                                      \
        json = encodeFn<nlohmann::ordered_json>(record);                                                    \
    }                                                                                                       \
    void from_json(const nlohmann::json& json, Record& record) { record = decodeFn(json, std::string()); } \
    void from_json(const nlohmann::ordered_json& json, Record& record) { record = decodeFn(json, std::string()); }

VESK_RECORD_CODING(PageElement, encodeElement, decodeElement)
VESK_RECORD_CODING(DownloadedFile, encodeDownload, decodeDownload)
VESK_RECORD_CODING(PageCover, encodeCover, decodeCover)
VESK_RECORD_CODING(SnapshotDiff, encodeDiff, decodeDiff)
VESK_RECORD_CODING(PageSnapshot, encodeSnapshot, decodeSnapshot)
VESK_RECORD_CODING(DialogRecord, encodeDialog, decodeDialog)
VESK_RECORD_CODING(ActionResult, encodeResult, decodeResult)

#undef VESK_RECORD_CODING

} // namespace vesk
