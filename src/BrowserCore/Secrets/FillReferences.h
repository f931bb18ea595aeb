#pragma once

// The references of a text to fill ("${NAME}", "${NAME.user}",
// "${NAME.password}", "${NAME.otp}") replaced by the values the element's
// site may receive, or the reason the text cannot be filled there.

#include "BrowserCore/Secrets/TOTP.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// `text` with each reference that `values` holds replaced, name by name in
// order of appearance. Throws BrowserError before anything is replaced when a
// reference belongs to another site (variableOfAnotherSite,
// credentialOfAnotherSite) or names a credential field no site has
// (credentialWithoutOTPKey, credentialNotAvailable); a plain name that no
// site defines stays as written. `here` is the element's site.
std::string substitutedReferences(std::string_view text, const std::map<std::string, std::string>& values,
                                  const std::map<std::string, std::map<std::string, std::string>>& variables,
                                  const std::map<std::string, std::map<std::string, TOTP>>& otpKeys,
                                  const std::optional<std::string>& here);

} // namespace vesk
