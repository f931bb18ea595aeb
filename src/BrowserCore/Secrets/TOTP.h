#pragma once

// The two-factor key of a credential and its six-digit codes: time-based
// one-time passwords with HMAC-SHA-1, a 30-second step from the Unix epoch and
// six digits, the only kind accepted.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

class TOTP {
public:
    // The key a person's text describes: a base32 key (either case, spaces
    // anywhere, "=" padding at the end) or an otpauth://totp/ URI whose
    // algorithm, digits and period, when given, are SHA1, 6 and 30. None for
    // any other text, and for a key of no bytes.
    static std::optional<TOTP> parse(std::string_view text);

    // The code for the 30-second step that holds `at`: always six digits.
    std::string code(std::chrono::system_clock::time_point at) const;

    // Never empty.
    const std::vector<std::uint8_t>& key() const { return key_; }

    // Same key bytes (lets tables of keys be compared before they are stored).
    bool operator==(const TOTP&) const = default;

private:
    explicit TOTP(std::vector<std::uint8_t> key) : key_(std::move(key)) {}
    std::vector<std::uint8_t> key_;
};

// RFC 4648 base32 (alphabet A–Z, 2–7), read leniently: letters in either case,
// spaces (U+0020 only) anywhere, any number of "=" at the end; bits that do not
// fill a last byte are dropped and the length is not checked. Any other
// character makes the result none. An empty text gives no bytes.
std::optional<std::vector<std::uint8_t>> base32Decode(std::string_view text);

} // namespace vesk
