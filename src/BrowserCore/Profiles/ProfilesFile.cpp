#include "BrowserCore/Profiles/ProfilesFile.h"

#include "BrowserCore/Profiles/SecretAccounts.h"
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
    // A tag of another form names no account an earlier version wrote.
    if (const Json* tag = optionalField(value, "secretsTag"); tag && tag->is_string() && SecretAccounts::isTag(text(*tag))) {
        read.secretsTag = text(*tag);
    }
    return read;
}

// A claim as a save writes it: every account a staging account of its own
// save. None otherwise.
std::optional<Claim> claim(const Json& value) {
    auto string = [&](const char* key) -> const std::string* {
        auto found = value.find(key);
        return found != value.end() && found->is_string() ? found->get_ptr<const std::string*>() : nullptr;
    };
    if (!value.is_object()) return std::nullopt;
    const std::string* process = string("process");
    const std::string* save = string("save");
    auto accounts = value.find("accounts");
    auto saved = value.find("saved");
    if (!process || !save || accounts == value.end() || !accounts->is_array() ||
        (saved != value.end() && !saved->is_boolean())) {
        return std::nullopt;
    }
    Claim read{*process, *save, {}, saved != value.end() && saved->get<bool>()};
    read.accounts.reserve(accounts->size());
    for (const auto& account : *accounts) {
        if (!account.is_string()) return std::nullopt;
        auto staged = SecretAccounts::parseStaging(account.get_ref<const std::string&>());
        if (!staged || staged->save != read.save) return std::nullopt;
        read.accounts.push_back(account.get<std::string>());
    }
    return read;
}

std::string compact(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::size_t accountsListed(const Json& item) {
    if (!item.is_object()) return 0;
    auto accounts = item.find("accounts");
    return accounts != item.end() && accounts->is_array() ? accounts->size() : 0;
}

// Claims are read one by one; how many accounts they list bounds the work
// of a start.
void readClaims(const Json& claims, Saved& saved) {
    if (!claims.is_array()) {
        saved.otherClaims = {{compact(claims)}, 0, true};
        return;
    }
    std::size_t listed = 0;
    for (const auto& item : claims) listed += accountsListed(item);
    if (listed > mostClaimedAccounts) {
        throw Undecodable("it lists " + std::to_string(listed) + " keychain accounts of saves under way, more than the " +
                          std::to_string(mostClaimedAccounts) + " it may");
    }
    for (const auto& item : claims) {
        if (auto read = claim(item)) {
            saved.claims.push_back(std::move(*read));
        } else {
            saved.otherClaims.values.push_back(compact(item));
            saved.otherClaims.accounts += accountsListed(item);
        }
    }
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
    const OtherClaims& others = saved.otherClaims;
    if (others.unlisted && !others.values.empty() && saved.claims.empty()) {
        file["claims"] = Json::parse(others.values.front());
    } else {
        for (const auto& other : others.values) file["claims"].push_back(Json::parse(other));
    }
    for (const auto& claim : saved.claims) {
        Json record = {{"process", claim.process}, {"save", claim.save}, {"accounts", claim.accounts}};
        if (claim.saved) record["saved"] = true;
        file["claims"].push_back(std::move(record));
    }
    std::string written = compact(file);
    // Outside strings compact JSON has no slash, and no UTF-8 sequence holds
    // the slash byte, so every one found is inside a string.
    std::string escaped;
    escaped.reserve(written.size());
    for (char c : written) {
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
    if (const Json* claims = optionalField(file, "claims")) readClaims(*claims, saved);
    // Every lookup by id would find only the first of two records.
    if (!uniqueIDs(saved.profiles)) throw Undecodable("two profiles in it have one id");
    if (!uniqueIDs(saved.credentials.value_or(std::vector<Credential>{}))) {
        throw Undecodable("two credentials in it have one id");
    }
    return saved;
}

} // namespace vesk::ProfilesFile
