#pragma once

// The secret store on the desktop's keychain, the Secret Service, reached
// through libsecret. Each value is one item with the attributes `service`
// and `account`; items are found by those two alone, so that the desktop's
// own tools (`secret-tool lookup service Vesk account ...`) see the same
// items. Where no Secret Service answers, lookups fail and writes throw:
// values are never kept anywhere else.

#include "Platform/SecretStore.h"

#include <string>

namespace vesk {

class Keychain final : public SecretStore {
public:
    explicit Keychain(std::string service) : service_(std::move(service)) {}

    const std::string& service() const { return service_; }

    Lookup lookup(const std::string& account) override;
    void write(const std::optional<std::string>& value, const std::string& account) override;
    std::optional<std::vector<std::string>> accounts() override;

private:
    void store(const std::string& value, const std::string& account);

    std::string service_;
};

} // namespace vesk
