#pragma once

#include <stdexcept>
#include <string>

namespace vesk {

// A JSON value that does not have the shape of the record it was decoded as.
// The text names the offending key path, e.g. `"elements"[2]."checked" is not
// a boolean`, so that callers can pass it on unchanged.
class RecordDecodingError : public std::runtime_error {
public:
    explicit RecordDecodingError(const std::string& what) : std::runtime_error(what) {}
};

} // namespace vesk
