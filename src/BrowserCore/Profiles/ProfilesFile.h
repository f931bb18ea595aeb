#pragma once

// The profiles file, profiles.json: the saved profiles, the credentials and
// the current profile, as one compact JSON object in UTF-8.

#include "BrowserCore/Profiles/BrowserProfile.h"

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vesk::ProfilesFile {

// A save under way that changes keychain values, recorded before it writes
// any: the staging accounts it uses (SecretAccounts::Staged, all of its own
// save id) and whether its record is written. A process that ends in the
// middle of it leaves it here, and the next start finishes the save when its
// record was written and undoes it when not.
struct Claim {
    std::string process;                // ProcessIdentity
    std::string save;                   // the save's UUID
    std::vector<std::string> accounts;  // its staging accounts
    bool saved = false;                 // its record is written

    bool operator==(const Claim&) const = default;
};

// The most staging accounts a file may list: far more than any save uses.
inline constexpr std::size_t mostClaimedAccounts = 200000;

// Claims in a form this version does not write (a later version's, say):
// never read, so nothing they name is touched, and written back as they were,
// for the version that wrote them to settle.
struct OtherClaims {
    std::vector<std::string> values;  // each one's JSON value, compact
    std::size_t accounts = 0;         // the accounts they list, as the limit counts them
    bool unlisted = false;            // "claims" held values[0] itself, not a list

    bool operator==(const OtherClaims&) const = default;
};

struct Saved {
    std::optional<ProfileID> current;  // none: the temporary profile
    std::vector<BrowserProfile> profiles;
    std::optional<std::vector<Credential>> credentials;  // may be missing in a file that is read
    std::vector<Claim> claims;                            // written only when there are some
    OtherClaims otherClaims;

    bool operator==(const Saved&) const = default;
};

// Compact JSON with the keys the records name: no spaces or line breaks,
// "/" escaped as "\/", other characters as UTF-8; "current" left out when
// there is none; "credentials" always written; a credential's "secretsTag"
// and the "claims" only when there are some, so that a file without them
// reads as before in any version. Claims of another form come first, each
// as it was read; a "claims" that was no list is written as it was while
// there is no claim of this version, else as the list's first claim.
std::string encode(const Saved& saved);

// Why a text is not a profiles file, as a clause ("it is not JSON").
struct Undecodable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The saved state. Throws Undecodable when the text is not such a file:
// every key is required but "current" and "credentials"; unknown keys are
// ignored; a UUID in any case is taken. Two profiles or two credentials of
// one id, nesting deeper than any such file has, or claims of more than
// mostClaimedAccounts accounts are refused as well. A claim that is not of
// the form a save writes goes to otherClaims; a credential's tag not of the
// form earlier versions wrote is left out.
Saved decode(const std::string& text);

} // namespace vesk::ProfilesFile
