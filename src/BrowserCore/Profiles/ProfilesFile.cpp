#include "BrowserCore/Profiles/ProfilesFile.h"

#include "Platform/JsonNesting.h"

#include <nlohmann/json.hpp>

#include <set>
#include <stdexcept>

namespace vesk::ProfilesFile {

namespace {

using Json = nlohmann::ordered_json;

struct Undecodable : std::runtime_error {
    Undecodable() : std::runtime_error("not a profiles file") {}
};

const Json& field(const Json& object, const char* key) {
    if (!object.is_object()) throw Undecodable();
    auto found = object.find(key);
    if (found == object.end()) throw Undecodable();
    return *found;
}

std::string text(const Json& value) {
    if (!value.is_string()) throw Undecodable();
    return value.get<std::string>();
}

bool flag(const Json& value) {
    if (!value.is_boolean()) throw Undecodable();
    return value.get<bool>();
}

ProfileID uuid(const Json& value) {
    auto id = parseProfileID(text(value));
    if (!id) throw Undecodable();
    return *id;
}

template <typename Read>
auto list(const Json& value, Read read) {
    if (!value.is_array()) throw Undecodable();
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

Credential credential(const Json& value) {
    return {uuid(field(value, "id")),
            text(field(value, "name")),
            list(field(value, "sites"), text),
            flag(field(value, "hasOTP")),
            flag(field(value, "global")),
            list(field(value, "profileIDs"), uuid)};
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
        file["credentials"].push_back({{"id", credential.id},
                                       {"name", credential.name},
                                       {"sites", credential.sites},
                                       {"hasOTP", credential.hasOTP},
                                       {"global", credential.global},
                                       {"profileIDs", credential.profileIDs}});
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

std::optional<Saved> decode(const std::string& bytes) {
    if (jsonNestsDeeperThan(bytes)) return std::nullopt;
    Json file = Json::parse(bytes, nullptr, /*allow_exceptions=*/false);
    if (file.is_discarded() || !file.is_object()) return std::nullopt;
    try {
        Saved saved;
        if (auto current = file.find("current"); current != file.end() && !current->is_null()) {
            saved.current = uuid(*current);
        }
        saved.profiles = list(field(file, "profiles"), profile);
        if (auto credentials = file.find("credentials"); credentials != file.end() && !credentials->is_null()) {
            saved.credentials = list(*credentials, credential);
        }
        // Every lookup by id would find only the first of two records.
        if (!uniqueIDs(saved.profiles) || !uniqueIDs(saved.credentials.value_or(std::vector<Credential>{}))) {
            return std::nullopt;
        }
        return saved;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace vesk::ProfilesFile
