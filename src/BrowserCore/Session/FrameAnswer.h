#pragma once

// The answer to one subframe scan request. The waiting scan, the request, the
// timer that bounds the wait and, after a miss, the session's table of late
// scans share it; whichever of the answer and the time-out comes first wakes
// the scan, and an answer that comes after the time-out is still kept, so the
// next scan sees it.

#include "BrowserCore/PageAgent/AgentReplies.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "Platform/Clock.h"

#include <coroutine>
#include <memory>
#include <optional>

namespace vesk {

class FrameAnswer {
public:
    // How the request ended: with a scan; with a failure or no scan while the
    // frame still exists; or because the frame no longer exists.
    enum class Outcome { scanned, failed, gone };
    struct Answer {
        Outcome outcome = Outcome::failed;
        std::optional<Scan> scan;  // present when scanned
    };

    const std::optional<Answer>& answer() const { return answer_; }
    bool hasArrived() const { return answer_.has_value(); }
    bool isExpired() const { return expired_; }

    // Stores the answer, also after expiry, and wakes the waiting scan.
    void deliver(Answer answer);
    // Marks the time-out as passed and wakes the waiting scan.
    void expire();

    struct Awaiter {
        FrameAnswer* self;
        bool await_ready() const noexcept { return self->answer_ || self->expired_; }
        void await_suspend(std::coroutine_handle<> handle) const noexcept { self->waiter_ = handle; }
        void await_resume() const noexcept {}
    };
    // Returns at once when the answer has arrived or expired; otherwise
    // suspends until one of them happens. One waiter at a time.
    Awaiter wait() { return Awaiter{this}; }

private:
    void wake();

    std::optional<Answer> answer_;
    bool expired_ = false;
    std::coroutine_handle<> waiter_;
};

// A subframe request that missed its time-out, and when it was sent.
struct BrowserSession::LateScan {
    std::shared_ptr<FrameAnswer> answer;
    Instant asked;
};

// What one subframe contributed to a scan.
struct FrameListing {
    enum class Kind {
        listed,  // it answered: its scan
        gone,    // it no longer exists
        late,    // it did not answer, or failed to: named as unanswered
    };
    Kind kind = Kind::late;
    std::optional<Scan> scan;
};

} // namespace vesk
