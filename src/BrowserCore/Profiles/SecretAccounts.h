#pragma once

// The accounts under which the secret store keeps each value.

#include "BrowserCore/Profiles/BrowserProfile.h"

#include <string>

namespace vesk::SecretAccounts {

// "<profile UUID>/<site>/<name>"
inline std::string variable(const ProfileID& profile, const std::string& site, const std::string& name) {
    return profile + "/" + site + "/" + name;
}

// "credential/<credential UUID>/<field>", the field being "user", "password"
// or "otp"; with a tag, "credential/<credential UUID>/<tag>/<field>".
inline std::string credential(const ProfileID& credential, const std::string& field,
                              const std::optional<std::string>& tag = std::nullopt) {
    return "credential/" + credential + "/" + (tag ? *tag + "/" : "") + field;
}

// The account of a field of the credential as its record names it.
inline std::string of(const Credential& record, const std::string& field) {
    return credential(record.id, field, record.secretsTag);
}

inline constexpr const char* credentialFields[] = {"user", "password", "otp"};

} // namespace vesk::SecretAccounts
