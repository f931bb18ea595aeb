#include "BrowserCore/Secrets/FillReferences.h"

#include "BrowserCore/Errors/BrowserError.h"
#include "BrowserCore/Secrets/SiteValues.h"
#include "BrowserCore/Secrets/VariableNames.h"

#include <set>
#include <vector>

namespace vesk {

namespace {

using Table = std::map<std::string, std::map<std::string, std::string>>;

// Stops at the first reference this site may not receive.
void checkMissing(const std::string& name, const Table& variables,
                  const std::map<std::string, std::map<std::string, TOTP>>& otpKeys,
                  const std::optional<std::string>& here, const Table& unreadable) {
    auto dot = name.find('.');
    bool plain = dot == std::string::npos;
    std::string base = plain ? name : name.substr(0, dot);

    // A value this site would have, had the keychain given it, is not said
    // to be missing: the person has to unlock the keychain, not add a value.
    if (here) {
        auto problems = mergedForSite(*here, unreadable);
        if (auto found = problems.find(name); found != problems.end()) {
            throw BrowserError::valueUnreadable(name, found->second);
        }
    }
    std::set<std::string> sites;  // sorted, without repeats
    if (name == base + ".otp") {
        for (const auto& [site, keys] : otpKeys) {
            if (keys.contains(base)) sites.insert(site);
        }
    }
    for (const Table* table : {&variables, &unreadable}) {
        for (const auto& [site, values] : *table) {
            if (values.contains(name)) sites.insert(site);
        }
    }
    if (!sites.empty()) {
        std::vector<std::string> list(sites.begin(), sites.end());
        if (plain) throw BrowserError::variableOfAnotherSite(name, std::move(list), here.value_or(""));
        throw BrowserError::credentialOfAnotherSite(name, std::move(list), here.value_or(""));
    }
    // A reference typed as text would be a failure reported as success.
    if (plain) throw BrowserError::variableNotAvailable(name, here.value_or(""));

    bool knownCredential = false;
    for (const Table* table : {&variables, &unreadable}) {
        for (const auto& [site, values] : *table) {
            for (const auto& [stored, value] : values) {
                if (stored.starts_with(base + ".")) knownCredential = true;
            }
        }
    }
    if (knownCredential && name == base + ".otp") throw BrowserError::credentialWithoutOTPKey(name);
    throw BrowserError::credentialNotAvailable(name);
}

} // namespace

std::string substitutedReferences(std::string_view text, const std::map<std::string, std::string>& values,
                                  const std::map<std::string, std::map<std::string, std::string>>& variables,
                                  const std::map<std::string, std::map<std::string, TOTP>>& otpKeys,
                                  const std::optional<std::string>& here, const Table& unreadable) {
    auto names = variableNames(text);
    for (const auto& name : names) {
        if (!values.contains(name)) checkMissing(name, variables, otpKeys, here, unreadable);
    }
    return replacedReferences(text, [&](const std::string& name) { return values.at(name); });
}

} // namespace vesk
