#include "BrowserCore/Profiles/ProfilesFile.h"

#include "Platform/JsonNesting.h"

#include <nlohmann/json.hpp>

#include <set>
#include <stdexcept>

namespace vesk::ProfilesFile {

namespace {

using Json = nlohmann::ordered_json;

// What the records lack, for any record.
constexpr const char* missingField = "a record in it lacks a field or has one of the wrong kind";

const Json& field(const Json& object, const char* key) {
    if (!object.is_object()) throw Undecodable(missingField);
    auto found = object.find(key);
    if (found == object.end()) throw Undecodable(missingField);
    return *found;
}

std::string text(const Json& value) {
    if (!value.is_string()) throw Undecodable(missingField);
    return value.get<std::string>();
}

bool flag(const Json& value) {
    if (!value.is_boolean()) throw Undecodable(missingField);
    return value.get<bool>();
}

ProfileID uuid(const Json& value) {
    auto id = parseProfileID(text(value));
    if (!id) throw Undecodable(missingField);
    return *id;
}

template <typename Read>
auto list(const Json& value, Read read) {
    if (!value.is_array()) throw Undecodable(missingField);
    std::vector<decltype(read(value))> items;
    for (const auto& item : value) items.push_back(read(item));
    return items;
}

BrowserProfile profile(const Json& value) {
    return {uuid(field(value, "id")), text(field(value, "name")),
            list(field(value, "variables"), [](const Json& variable) {
                return BrowserProfile::Variable{text(field(variable, "name")), text(field(variable, "site"))};
            })};
}

// An optional key: none when absent or null.
const Json* optionalField(const Json& object, const char* key) {
    auto found = object.find(key);
    return found == object.end() || found->is_null() ? nullptr : &*found;
}

Credential credential(const Json& value) {
    Credential read{uuid(field(value, "id")),
                    text(field(value, "name")),
                    list(field(value, "sites"), text),
                    flag(field(value, "hasOTP")),
                    flag(field(value, "global")),
                    list(field(value, "profileIDs"), uuid)};
    if (const Json* tag = optionalField(value, "secretsTag")) read.secretsTag = text(*tag);
    return read;
}

Claim claim(const Json& value) {
    Claim read{text(field(value, "process")), list(field(value, "accounts"), text)};
    if (const Json* erasing = optionalField(value, "erasing")) read.erasing = flag(*erasing);
    return read;
}

template <typename Record>
bool uniqueIDs(const std::vector<Record>& records) {
    std::set<ProfileID> seen;
    for (const auto& record : records) {
        if (!seen.insert(record.id).second) return false;
    }
    return true;
}

} // namespace

std::string encode(const Saved& saved) {
    Json file = Json::object();
    if (saved.current) file["current"] = *saved.current;
    file["profiles"] = Json::array();
    for (const auto& profile : saved.profiles) {
        Json variables = Json::array();
        for (const auto& variable : profile.variables) {
            variables.push_back({{"name", variable.name}, {"site", variable.site}});
        }
        file["profiles"].push_back({{"id", profile.id}, {"name", profile.name}, {"variables", std::move(variables)}});
    }
    file["credentials"] = Json::array();
    for (const auto& credential : saved.credentials.value_or(std::vector<Credential>{})) {
        Json record = {{"id", credential.id},
                       {"name", credential.name},
                       {"sites", credential.sites},
                       {"hasOTP", credential.hasOTP},
                       {"global", credential.global},
                       {"profileIDs", credential.profileIDs}};
        if (credential.secretsTag) record["secretsTag"] = *credential.secretsTag;
        file["credentials"].push_back(std::move(record));
    }
    for (const auto& claim : saved.claims) {
        Json record = {{"process", claim.process}, {"accounts", claim.accounts}};
        if (claim.erasing) record["erasing"] = true;
        file["claims"].push_back(std::move(record));
    }
    std::string compact = file.dump(-1, ' ', false, Json::error_handler_t::replace);
    // Outside strings compact JSON has no slash, and no UTF-8 sequence holds
    // the slash byte, so every one found is inside a string.
    std::string escaped;
    escaped.reserve(compact.size());
    for (char c : compact) {
        if (c == '/') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

Saved decode(const std::string& bytes) {
    if (jsonNestsDeeperThan(bytes)) {
        throw Undecodable("it nests deeper than " + std::to_string(deepestJsonNesting) + " levels");
    }
    Json file = Json::parse(bytes, nullptr, /*allow_exceptions=*/false);
    if (file.is_discarded()) throw Undecodable("it is not JSON");
    if (!file.is_object()) throw Undecodable("it is not a JSON object");
    Saved saved;
    if (auto current = file.find("current"); current != file.end() && !current->is_null()) {
        saved.current = uuid(*current);
    }
    saved.profiles = list(field(file, "profiles"), profile);
    if (const Json* credentials = optionalField(file, "credentials")) saved.credentials = list(*credentials, credential);
    if (const Json* claims = optionalField(file, "claims")) saved.claims = list(*claims, claim);
    // Every lookup by id would find only the first of two records.
    if (!uniqueIDs(saved.profiles)) throw Undecodable("two profiles in it have one id");
    if (!uniqueIDs(saved.credentials.value_or(std::vector<Credential>{}))) {
        throw Undecodable("two credentials in it have one id");
    }
    return saved;
}

} // namespace vesk::ProfilesFile
