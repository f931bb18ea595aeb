#include "BrowserMCP/LineSplitter.h"

namespace vesk {

void LineSplitter::append(std::string_view bytes) {
    // Drop the lines already handed out before the buffer grows, so that a
    // long session does not keep every line it ever read.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_.append(bytes);
}

std::optional<std::string> LineSplitter::nextLine() {
    for (;;) {
        auto end = buffer_.find('\n', start_ + scanned_);
        if (end == std::string::npos) {
            // A megabyte line arriving in small reads is scanned once, not once per read.
            scanned_ = buffer_.size() - start_;
            return std::nullopt;
        }
        std::string line = buffer_.substr(start_, end - start_);
        start_ = end + 1;
        scanned_ = 0;
        if (!line.empty()) return line;
    }
}

std::optional<std::string> LineSplitter::finish() {
    std::string rest = buffer_.substr(start_);
    buffer_.clear();
    start_ = 0;
    scanned_ = 0;
    if (rest.empty()) return std::nullopt;
    return rest;
}

} // namespace vesk
