#include "Platform/KeychainError.h"

namespace vesk {

KeychainError::KeychainError(std::int32_t status, const std::string& detail)
    : std::runtime_error(message(status, detail)), status_(status), detail_(detail) {}

std::string KeychainError::message(std::int32_t status, const std::string& detail) {
    return "The keychain did not store the value: " + (detail.empty() ? "error " + std::to_string(status) : detail);
}

} // namespace vesk
