#pragma once

// A keychain that refused to store or delete a value. Two errors are equal
// when their status codes are.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vesk {

class KeychainError : public std::runtime_error {
public:
    // `detail` is the keychain's own message for the status, empty when it
    // gave none.
    KeychainError(std::int32_t status, const std::string& detail);

    std::int32_t status() const { return status_; }
    // The keychain's own words, empty when it gave none.
    const std::string& detail() const { return detail_; }
    // The detail, or "error <status>" without one.
    std::string reason() const { return detail_.empty() ? "error " + std::to_string(status_) : detail_; }
    bool operator==(const KeychainError& other) const { return status_ == other.status_; }

    // "The keychain did not store the value: " and the detail, or
    // "error <status>" without one.
    static std::string message(std::int32_t status, const std::string& detail);

private:
    std::int32_t status_;
    std::string detail_;
};

} // namespace vesk
