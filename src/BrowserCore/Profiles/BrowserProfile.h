#pragma once

// The saved profiles and logins as the profiles file keeps them. No secret
// value is part of them: values live in the secret store under accounts
// made from these records (SecretAccounts.h).

#include <optional>
#include <string>
#include <vector>

namespace vesk {

// UUIDs are kept as their 36-character upper-case hyphenated text.
using ProfileID = std::string;

struct BrowserProfile {
    struct Variable {
        std::string name;  // letters, digits and underscores, not starting with a digit
        std::string site;  // a site key
        bool operator==(const Variable&) const = default;
    };

    ProfileID id;  // also names the profile's own website data
    std::string name;
    std::vector<Variable> variables;  // sorted by site, then name, as the store adds them

    bool operator==(const BrowserProfile&) const = default;
};

struct Credential {
    ProfileID id;
    std::string name;                 // pages refer to it as ${NAME.user}, ${NAME.password}, ${NAME.otp}
    std::vector<std::string> sites;   // site keys, at least one, in the order given
    bool hasOTP = false;              // a two-factor key is stored for it
    bool global = false;              // offered on every saved profile
    std::vector<ProfileID> profileIDs;  // the saved profiles it is assigned to
    // Left by an earlier version that kept the values under accounts named
    // with this tag (SecretAccounts::tagged); the values are moved back to
    // the accounts of the id, and the tag dropped, at the next start.
    std::optional<std::string> secretsTag;

    bool operator==(const Credential&) const = default;
};

// A new random UUID in the stored form.
ProfileID newProfileID();

// The stored form of a UUID text in any case; none when it is not a UUID.
std::optional<ProfileID> parseProfileID(const std::string& text);

} // namespace vesk
