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

// `text` with each reference replaced by its value in `values`, in one pass:
// a value that itself holds a reference is typed as it is. Throws
// BrowserError before anything is replaced when a reference has no value:
// it belongs to another site (variableOfAnotherSite,
// credentialOfAnotherSite), names a credential field no site has
// (credentialWithoutOTPKey, credentialNotAvailable) or a variable no site
// has (variableNotAvailable), or one whose value the keychain holds but
// could not give (valueUnreadable: `unreadable` is site → reference → why).
// `here` is the element's site, none for a document without one.
std::string substitutedReferences(std::string_view text, const std::map<std::string, std::string>& values,
                                  const std::map<std::string, std::map<std::string, std::string>>& variables,
                                  const std::map<std::string, std::map<std::string, TOTP>>& otpKeys,
                                  const std::optional<std::string>& here,
                                  const std::map<std::string, std::map<std::string, std::string>>& unreadable = {});

} // namespace vesk
