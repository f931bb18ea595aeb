#pragma once

// What is typed in the credential form, and the rules that turn it into a
// store call: the sites it names, whether it may be saved, and which stored
// secrets an edit keeps, replaces or removes.

#include "BrowserCore/Profiles/BrowserProfile.h"

#include <optional>
#include <string>
#include <vector>

namespace vesk::ui {

struct CredentialDraft {
    std::string name;
    std::string sites; // all sites in one text
    std::string user;
    std::string password;
    std::string otpKey;
    bool removesOTP = false;

    // An existing credential's name and sites, and its stored user name;
    // never its password or 2FA key.
    static CredentialDraft editing(const Credential& credential, const std::optional<std::string>& storedUser);

    // The sites cut at every comma and white space, empty pieces dropped.
    std::vector<std::string> siteList() const;
    // A name, a site and a user; a new credential also needs a password.
    // Nothing is trimmed for this test.
    bool canSave(bool isNew) const;
    // For an edit: none keeps the stored value. The 2FA key is empty (which
    // removes it) when the person asked to remove it.
    std::optional<std::string> passwordUpdate() const;
    std::optional<std::string> otpKeyUpdate() const;
};

// "${NAME.user} ${NAME.password}", then " ${NAME.otp}" when it has a 2FA key.
std::string credentialReferences(const Credential& credential);

} // namespace vesk::ui
