#pragma once

// The accounts under which the secret store keeps each value.

#include "BrowserCore/Profiles/BrowserProfile.h"

#include <string>

namespace vesk::SecretAccounts {

// "<profile UUID>/<site>/<name>"
inline std::string variable(const ProfileID& profile, const std::string& site, const std::string& name) {
    return profile + "/" + site + "/" + name;
}

// "credential/<credential UUID>/<field>", the field being "user", "password" or "otp".
inline std::string credential(const ProfileID& credential, const std::string& field) {
    return "credential/" + credential + "/" + field;
}

} // namespace vesk::SecretAccounts
