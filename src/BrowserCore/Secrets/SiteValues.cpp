#include "BrowserCore/Secrets/SiteValues.h"

#include <algorithm>

namespace vesk {

std::map<std::string, std::string> mergedForSite(
    const std::string& site, const std::map<std::string, std::map<std::string, std::string>>& table) {
    // A site takes the values of its own key and of each parent domain; the
    // port is part of both, so another port never matches.
    std::vector<const std::pair<const std::string, std::map<std::string, std::string>>*> kept;
    for (const auto& entry : table) {
        const std::string& key = entry.first;
        bool parent = site.size() > key.size() && site.ends_with(key) && site[site.size() - key.size() - 1] == '.';
        if (key == site || parent) kept.push_back(&entry);
    }
    std::sort(kept.begin(), kept.end(), [](auto* a, auto* b) { return a->first.size() < b->first.size(); });
    std::map<std::string, std::string> merged;
    for (auto* entry : kept) {
        for (const auto& [name, value] : entry->second) merged[name] = value;
    }
    return merged;
}

std::map<std::string, std::string> valuesForSite(
    const std::string& site, const std::map<std::string, std::map<std::string, std::string>>& variables,
    const std::map<std::string, std::map<std::string, TOTP>>& otpKeys, std::chrono::system_clock::time_point instant) {
    auto table = variables;
    for (const auto& [keySite, keys] : otpKeys) {
        auto& values = table[keySite];
        for (const auto& [credential, key] : keys) values[credential + ".otp"] = key.code(instant);
    }
    return mergedForSite(site, table);
}

} // namespace vesk
