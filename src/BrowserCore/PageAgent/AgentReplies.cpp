#include "BrowserCore/PageAgent/AgentReplies.h"

#include "BrowserCore/Records/JsonFields.h"

namespace vesk {

namespace {

using nlohmann::json;
using Reader = json_fields::Reader<json>;

double number(const Reader& reader, const char* key) {
    const json& value = reader.required(key);
    if (!value.is_number()) throw RecordDecodingError(json_fields::join(reader.path(), key) + " is not a number");
    return value.get<double>();
}

std::vector<int> indexes(const Reader& reader, const char* key) {
    return reader.list(key, [](const json& value, const std::string& path) {
        if (!value.is_number_integer() || value.get<long long>() < 0 || value.get<long long>() > 1000000) {
            throw RecordDecodingError(path + " is not an index");
        }
        return value.get<int>();
    });
}

} // namespace

Scan Scan::decode(const json& value) {
    Reader reader(value, "");
    Scan scan;
    scan.snapshot = value.get<PageSnapshot>();
    scan.lastRef = reader.integer<long>("lastRef");
    scan.frame = reader.text("frame");
    scan.loadedFrom = reader.text("loadedFrom");
    if (reader.optional("path")) scan.path = indexes(reader, "path");
    if (reader.optional("hiddenFrames")) scan.hiddenFrames = indexes(reader, "hiddenFrames");
    return scan;
}

Status Status::decode(const json& value) {
    Reader reader(value, "");
    Status status;
    status.readyState = reader.text("readyState");
    status.quietMs = number(reader, "quietMs");
    status.animating = reader.boolean("animating");
    status.mutated = reader.optionalText("mutated");
    status.animated = reader.optionalText("animated");
    return status;
}

Found Found::decode(const json& value) {
    Reader reader(value, "");
    Found found;
    found.ref = reader.text("ref");
    found.usedSelector = reader.boolean("usedSelector");
    found.lastRef = reader.integer<long>("lastRef");
    return found;
}

PointerPoint PointerPoint::decode(const json& value) {
    Reader reader(value, "");
    return PointerPoint{number(reader, "x"), number(reader, "y")};
}

} // namespace vesk
