#pragma once

// Stand-ins for what the profile store talks to: a secret store in memory
// that can be told to fail per account, and a session that keeps what it is
// told.

#include "BrowserCore/Profiles/ProfileSession.h"
#include "Platform/KeychainError.h"
#include "Platform/SecretStore.h"

#include <map>
#include <set>

namespace vesk::test {

class MemorySecretStore : public SecretStore {
public:
    std::map<std::string, std::string> values;
    std::set<std::string> unreadable;  // lookups of these accounts fail
    std::set<std::string> refusing;    // writes to these accounts fail

    Lookup lookup(const std::string& account) override {
        if (unreadable.contains(account)) return {std::nullopt, "the keychain is locked"};
        auto found = values.find(account);
        return found == values.end() ? Lookup{} : Lookup{found->second, std::nullopt};
    }
    void write(const std::optional<std::string>& value, const std::string& account) override {
        if (refusing.contains(account)) throw KeychainError(-25308, "User interaction is not allowed.");
        if (value) values[account] = *value;
        else values.erase(account);
    }
};

class ProfileSessionDouble : public ProfileSession {
public:
    std::vector<BrowserSession::Profile> used;  // every profile it was told to use
    Variables variables;
    OTPKeys otpKeys;

    bool isAlive() const override { return true; }
    void useProfile(const BrowserSession::Profile& profile) override { used.push_back(profile); }
    void setVariables(Variables table) override { variables = std::move(table); }
    void setOTPKeys(OTPKeys keys) override { otpKeys = std::move(keys); }
};

} // namespace vesk::test
