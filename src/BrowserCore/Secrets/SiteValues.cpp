#include "BrowserCore/Secrets/SiteValues.h"

#include "BrowserCore/Session/BrowserSession.h"

namespace vesk {

std::map<std::string, std::string> valuesForSite(
    const std::string& site, const std::map<std::string, std::map<std::string, std::string>>& variables,
    const std::map<std::string, std::map<std::string, TOTP>>& otpKeys, std::chrono::system_clock::time_point instant) {
    auto table = variables;
    for (const auto& [keySite, keys] : otpKeys) {
        auto& values = table[keySite];
        for (const auto& [credential, key] : keys) values[credential + ".otp"] = key.code(instant);
    }
    return BrowserSession::mergedForHost(site, table);
}

} // namespace vesk
