#pragma once

#include <exception>

namespace vesk {

// A subframe that no longer exists was asked for something. The frame scan
// tells this apart from a frame that merely failed to answer.
struct FrameGone : std::exception {
    const char* what() const noexcept override { return "The frame no longer exists."; }
};

} // namespace vesk
