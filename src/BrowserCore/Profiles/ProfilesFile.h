#pragma once

// The profiles file, profiles.json: the saved profiles, the credentials and
// the current profile, as one compact JSON object in UTF-8.

#include "BrowserCore/Profiles/BrowserProfile.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vesk::ProfilesFile {

// Keychain accounts that a process is writing or erasing, recorded before it
// touches them: a process that ends in the middle of a change leaves them
// named here, and the next start erases what no record names.
struct Claim {
    std::string process;                // ProcessIdentity
    std::vector<std::string> accounts;  // keychain accounts
    bool erasing = false;               // erasing them, rather than writing values a record will name

    bool operator==(const Claim&) const = default;
};

struct Saved {
    std::optional<ProfileID> current;  // none: the temporary profile
    std::vector<BrowserProfile> profiles;
    std::optional<std::vector<Credential>> credentials;  // may be missing in a file that is read
    std::vector<Claim> claims;                            // written only when there are some

    bool operator==(const Saved&) const = default;
};

// Compact JSON with the keys the records name: no spaces or line breaks,
// "/" escaped as "\/", other characters as UTF-8; "current" left out when
// there is none; "credentials" always written; a credential's "secretsTag"
// and the "claims" only when there are some, so that a file without them
// reads as before in any version.
std::string encode(const Saved& saved);

// Why a text is not a profiles file, as a clause ("it is not JSON").
struct Undecodable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The saved state. Throws Undecodable when the text is not such a file:
// every key is required but "current" and "credentials"; unknown keys are
// ignored; a UUID in any case is taken. Two profiles or two credentials of
// one id, or nesting deeper than any such file has, are refused as well.
Saved decode(const std::string& text);

} // namespace vesk::ProfilesFile
