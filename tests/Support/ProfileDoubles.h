#pragma once

// Stand-ins for what the profile store talks to: a secret store in memory
// that can be told to fail per account, and a session that keeps what it is
// told.

#include "BrowserCore/Profiles/ProfileSession.h"
#include "Platform/KeychainError.h"
#include "Platform/SecretStore.h"

#include <functional>
#include <map>
#include <set>

namespace vesk::test {

class MemorySecretStore : public SecretStore {
public:
    std::map<std::string, std::string> values;
    std::set<std::string> unreadable;  // lookups of these accounts fail
    std::set<std::string> notText;     // these accounts hold bytes that are not text
    std::set<std::string> refusing;    // writes to these accounts fail
    std::set<std::string> refusingFields;  // and to accounts that end in "/" and one of these
    std::function<void()> onCall;      // sees every lookup and write first
    std::function<void()> onWrite;     // then sees every write

    Lookup lookup(const std::string& account) override {
        if (onCall) onCall();
        if (unreadable.contains(account)) return {std::nullopt, "the keychain is locked", std::nullopt};
        auto found = values.find(account);
        if (found == values.end()) return {};
        if (notText.contains(account)) return {std::nullopt, "no text", found->second};
        return {found->second, std::nullopt, std::nullopt};
    }
    void write(const std::optional<std::string>& value, const std::string& account) override {
        if (onCall) onCall();
        if (onWrite) onWrite();
        auto field = account.substr(account.rfind('/') + 1);
        if (refusing.contains(account) || refusingFields.contains(field)) throw KeychainError(-25308, "User interaction is not allowed.");
        notText.erase(account);
        if (value) values[account] = *value;
        else values.erase(account);
    }
    std::optional<std::vector<std::string>> accounts() override {
        if (onCall) onCall();
        std::vector<std::string> held;
        for (const auto& entry : values) held.push_back(entry.first);
        return held;
    }
};

// One keychain that the stores of several processes share.
class SharedSecretStore : public SecretStore {
public:
    explicit SharedSecretStore(SecretStore& shared) : shared_(shared) {}
    Lookup lookup(const std::string& account) override { return shared_.lookup(account); }
    void write(const std::optional<std::string>& value, const std::string& account) override {
        shared_.write(value, account);
    }
    std::optional<std::vector<std::string>> accounts() override { return shared_.accounts(); }

private:
    SecretStore& shared_;
};

class ProfileSessionDouble : public ProfileSession {
public:
    std::vector<BrowserSession::Profile> used;  // every profile it was told to use
    Variables variables;
    OTPKeys otpKeys;
    Variables unreadable;

    bool isAlive() const override { return true; }
    void useProfile(const BrowserSession::Profile& profile) override { used.push_back(profile); }
    void setVariables(Variables table) override { variables = std::move(table); }
    void setOTPKeys(OTPKeys keys) override { otpKeys = std::move(keys); }
    void setUnreadableValues(Variables problems) override { unreadable = std::move(problems); }
};

} // namespace vesk::test
