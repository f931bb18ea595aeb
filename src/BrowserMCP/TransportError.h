#pragma once

#include <stdexcept>
#include <string>

namespace vesk {

// Reading the agent's input or writing a reply failed.
class TransportError : public std::runtime_error {
public:
    explicit TransportError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace vesk
