#pragma once

// The values a site may receive, from the tables the profile store pushes.

#include "BrowserCore/Secrets/TOTP.h"

#include <chrono>
#include <map>
#include <string>

namespace vesk {

// The values of the entries of `table` whose site is `site` or one of its
// parent domains, the most specific site winning.
std::map<std::string, std::string> mergedForSite(
    const std::string& site, const std::map<std::string, std::map<std::string, std::string>>& table);

// The values of `site` and its parent domains: every variable, and
// "<credential>.otp" with the code of each key at `instant`; a code wins over
// a variable of the same name on the same site, and the most specific site
// wins over its parents.
std::map<std::string, std::string> valuesForSite(
    const std::string& site, const std::map<std::string, std::map<std::string, std::string>>& variables,
    const std::map<std::string, std::map<std::string, TOTP>>& otpKeys, std::chrono::system_clock::time_point instant);

} // namespace vesk
