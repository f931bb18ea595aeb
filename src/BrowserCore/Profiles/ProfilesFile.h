#pragma once

// The profiles file, profiles.json: the saved profiles, the credentials and
// the current profile, as one compact JSON object in UTF-8.

#include "BrowserCore/Profiles/BrowserProfile.h"

#include <optional>
#include <string>
#include <vector>

namespace vesk::ProfilesFile {

struct Saved {
    std::optional<ProfileID> current;  // none: the temporary profile
    std::vector<BrowserProfile> profiles;
    std::optional<std::vector<Credential>> credentials;  // may be missing in a file that is read

    bool operator==(const Saved&) const = default;
};

// Compact JSON with the keys the records name: no spaces or line breaks,
// "/" escaped as "\/", other characters as UTF-8; "current" left out when
// there is none; "credentials" always written.
std::string encode(const Saved& saved);

// The saved state, or none when the text is not such a file: every key is
// required but "current" and "credentials"; unknown keys are ignored; a UUID
// in any case is taken. Two profiles or two credentials of one id, or
// nesting deeper than any such file has, make it none as well.
std::optional<Saved> decode(const std::string& text);

} // namespace vesk::ProfilesFile
