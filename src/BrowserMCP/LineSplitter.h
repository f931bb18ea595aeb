#pragma once

// Cuts a byte stream into lines at each line feed. Every other byte, carriage
// return and zero included, stays part of its line; empty lines are skipped.
// Bytes are not decoded: a line is handed on as it came.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

class LineSplitter {
public:
    // Adds bytes read from the stream.
    void append(std::string_view bytes);

    // The next complete, non-empty line without its line feed, or none until
    // more bytes arrive.
    std::optional<std::string> nextLine();

    // At the end of the stream: the unterminated last line, if it is not
    // empty. Call after nextLine gave none; the splitter is empty afterwards.
    std::optional<std::string> finish();

private:
    std::string buffer_;
    std::size_t start_ = 0;   // where the next line begins
    std::size_t scanned_ = 0; // bytes from start_ on known to hold no line feed
};

} // namespace vesk
