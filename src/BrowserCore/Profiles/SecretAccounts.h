#pragma once

// The accounts under which the secret store keeps each value, and those a
// save uses only while it runs.

#include "BrowserCore/Profiles/BrowserProfile.h"

#include <optional>
#include <string>
#include <string_view>

namespace vesk::SecretAccounts {

// "<profile UUID>/<site>/<name>"
inline std::string variable(const ProfileID& profile, const std::string& site, const std::string& name) {
    return profile + "/" + site + "/" + name;
}

// "credential/<credential UUID>/<field>", the field being "user", "password" or "otp".
inline std::string credential(const ProfileID& credential, const std::string& field) {
    return "credential/" + credential + "/" + field;
}

inline std::string of(const Credential& record, const std::string& field) { return credential(record.id, field); }

inline constexpr const char* credentialFields[] = {"user", "password", "otp"};

// "credential/<credential UUID>/<tag>/<field>": where an earlier version kept
// the values of a credential whose record carries a tag.
inline std::string tagged(const ProfileID& credential, const std::string& tag, const std::string& field) {
    return "credential/" + credential + "/" + tag + "/" + field;
}

// Whether a text has the form of such a tag: eight upper-case hex digits.
bool isTag(std::string_view text);

// Whether an account is one of a variable's or a credential's value.
bool isValueAccount(std::string_view account);

// A save that changes values keeps them, while it runs, under accounts of its
// own: "vesk-save/<save UUID>/new/<account>" holds a value that the save puts
// under `account` once its record is written, "vesk-save/<save UUID>/old/<account>"
// the value it takes away from `account`, put back if the save is undone. The
// random id of each save keeps apart the saves of every process and data
// folder on the one keychain.
struct Staged {
    std::string save;     // the save's UUID
    bool isNew = false;   // the value to be put; else the value taken away
    std::string account;  // the value's own account

    bool operator==(const Staged&) const = default;
};

std::string staging(const Staged& staged);

// None when the text is not such an account for the value of a variable or a
// credential.
std::optional<Staged> parseStaging(std::string_view account);

} // namespace vesk::SecretAccounts
