// JSON coding of the page records. Each record names its coded fields once,
// in key order, in `fields`; one writer and one reader serve every record, so
// a field cannot be written under one key and read under another.

#include "BrowserCore/Records/JsonFields.h"
#include "BrowserCore/Records/PageRecords.h"

#include <concepts>
#include <type_traits>

namespace vesk {

namespace {

template <typename Record, typename Is>
concept RecordOf = std::same_as<std::remove_const_t<Record>, Is>;

template <RecordOf<NetworkRequest> R, typename F>
void fields(R& r, F&& field) {
    field("method", r.method);
    field("url", r.url);
    field("status", r.status);
    field("error", r.error);
    field("milliseconds", r.milliseconds);
    field("window", r.window);
}

template <RecordOf<PageElement> R, typename F>
void fields(R& e, F&& field) {
    field("ref", e.ref);
    field("role", e.role);
    field("name", e.name);
    field("tag", e.tag);
    field("context", e.context);
    field("frame", e.frame);
    field("value", e.value);
    field("checked", e.checked);
    field("disabled", e.disabled);
    field("href", e.href);
    field("type", e.type);
    field("required", e.required);
    field("options", e.options);
}

template <RecordOf<DownloadedFile> R, typename F>
void fields(R& f, F&& field) {
    field("name", f.name);
    field("path", f.path);
    field("size", f.size);
    field("type", f.type);
}

template <RecordOf<PageCover> R, typename F>
void fields(R& c, F&& field) {
    field("name", c.name);
    field("refs", c.refs);
}

template <RecordOf<SnapshotDiff> R, typename F>
void fields(R& d, F&& field) {
    field("added", d.added);
    field("removed", d.removed);
    field("changed", d.changed);
    field("textChanged", d.textChanged);
}

// `downloads` and `unansweredFrames` are the session's, never coded.
template <RecordOf<PageSnapshot> R, typename F>
void fields(R& s, F&& field) {
    field("url", s.url);
    field("title", s.title);
    field("elements", s.elements);
    field("onScreen", s.onScreen);
    field("text", s.text);
    field("mainText", s.mainText);
    field("aroundText", s.aroundText);
    field("httpStatus", s.httpStatus);
    field("cover", s.cover);
}

template <RecordOf<DialogRecord> R, typename F>
void fields(R& d, F&& field) {
    field("kind", d.kind);
    field("message", d.message);
}

template <RecordOf<ActionResult> R, typename F>
void fields(R& r, F&& field) {
    field("url", r.url);
    field("title", r.title);
    field("navigated", r.navigated);
    field("settled", r.settled);
    field("changes", r.changes);
    field("suggestions", r.suggestions);
    field("dialogs", r.dialogs);
    field("consoleErrors", r.consoleErrors);
    field("failedRequests", r.failedRequests);
    field("window", r.window);
    field("switchedWindow", r.switchedWindow);
}

// Writes every field under its key; an optional without a value is left out.
template <typename Json>
struct FieldWriter {
    Json& json;

    template <typename T>
    void operator()(const char* key, const T& value) { json[key] = value; }
    template <typename T>
    void operator()(const char* key, const std::optional<T>& value) { json_fields::putOptional(json, key, value); }
    void operator()(const char* key, DialogRecord::Kind kind) { json[key] = std::string(DialogRecord::kindName(kind)); }
};

template <typename Json, typename Record>
Json encode(const Record& record) {
    Json json = Json::object();
    fields(record, FieldWriter<Json>{json});
    return json;
}

template <typename Record, typename Json>
Record decode(const Json& json, const std::string& path);

// Reads every field by the type it has; nested records are read under their
// key path, so an error names where it lies.
template <typename Json>
struct FieldReader {
    const json_fields::Reader<Json>& read;

    void operator()(const char* key, std::string& value) { value = read.text(key); }
    void operator()(const char* key, std::optional<std::string>& value) { value = read.optionalText(key); }
    void operator()(const char* key, bool& value) { value = read.boolean(key); }
    void operator()(const char* key, std::optional<bool>& value) { value = read.optionalBoolean(key); }
    template <std::integral Int>
    void operator()(const char* key, Int& value) { value = read.template integer<Int>(key); }
    template <std::integral Int>
    void operator()(const char* key, std::optional<Int>& value) { value = read.template optionalInteger<Int>(key); }
    void operator()(const char* key, std::vector<std::string>& value) { value = read.texts(key); }
    void operator()(const char* key, std::set<std::string>& value) {
        for (auto& text : read.texts(key)) value.insert(std::move(text));
    }
    template <typename Record>
    void operator()(const char* key, std::vector<Record>& value) {
        value = read.list(key, [](const Json& item, const std::string& path) { return decode<Record>(item, path); });
    }
    template <typename Record>
    void operator()(const char* key, std::optional<Record>& value) {
        if (const Json* found = read.optional(key)) value = decode<Record>(*found, json_fields::join(read.path(), key));
    }
    template <typename Record>
    void operator()(const char* key, Record& value) {
        value = decode<Record>(read.required(key), json_fields::join(read.path(), key));
    }
    void operator()(const char* key, DialogRecord::Kind& kind) {
        auto name = read.text(key);
        auto known = DialogRecord::kindNamed(name);
        if (!known) throw RecordDecodingError(json_fields::join(read.path(), key) + " is not a dialog kind: \"" + name + "\"");
        kind = *known;
    }
};

template <typename Record, typename Json>
Record decode(const Json& json, const std::string& path) {
    json_fields::Reader<Json> read(json, path);
    Record record;
    fields(record, FieldReader<Json>{read});
    return record;
}

} // namespace

#define VESK_RECORD_CODING(Record)                                                                          \
    void to_json(nlohmann::json& json, const Record& record) { json = encode<nlohmann::json>(record); }     \
    void to_json(nlohmann::ordered_json& json, const Record& record) {                                      \
        json = encode<nlohmann::ordered_json>(record);                                                      \
    }                                                                                                       \
    void from_json(const nlohmann::json& json, Record& record) { record = decode<Record>(json, {}); }       \
    void from_json(const nlohmann::ordered_json& json, Record& record) { record = decode<Record>(json, {}); }

VESK_RECORD_CODING(NetworkRequest)
VESK_RECORD_CODING(PageElement)
VESK_RECORD_CODING(DownloadedFile)
VESK_RECORD_CODING(PageCover)
VESK_RECORD_CODING(SnapshotDiff)
VESK_RECORD_CODING(PageSnapshot)
VESK_RECORD_CODING(DialogRecord)
VESK_RECORD_CODING(ActionResult)

#undef VESK_RECORD_CODING

} // namespace vesk
