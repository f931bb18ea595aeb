#pragma once

// Where secret values live, one value per account: the values of profile
// variables and the fields of credentials. The profile store reaches the
// keychain only through this, so that tests can give it a store of their own.

#include <optional>
#include <string>
#include <vector>

namespace vesk {

class SecretStore {
public:
    // What a lookup found. A value that could not be read (a locked or absent
    // keychain, a refusal) is not the same as no value: code that writes back
    // what it read must not take a failed read for an empty account.
    struct Lookup {
        std::optional<std::string> value;    // the stored value; none when absent or unreadable
        std::optional<std::string> failure;  // why it could not be read; none when the read worked
        // The item's bytes when it is there but holds no UTF-8 text: no value
        // to use, but what a change that replaces it puts back if it fails.
        std::optional<std::string> notText;

        bool failed() const { return failure.has_value(); }
    };

    virtual ~SecretStore() = default;

    virtual Lookup lookup(const std::string& account) = 0;

    // The stored value, or none when there is none or it could not be read.
    std::optional<std::string> read(const std::string& account) { return lookup(account).value; }

    // Stores the value under the account, replacing any earlier one; no value
    // deletes the account (an account without an item is fine). Throws
    // KeychainError when the store refuses.
    virtual void write(const std::optional<std::string>& value, const std::string& account) = 0;

    // Every account that holds a value, found in one go without reading any
    // value; none when the store cannot list them.
    virtual std::optional<std::vector<std::string>> accounts() = 0;
};

} // namespace vesk
