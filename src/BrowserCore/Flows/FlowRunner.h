#pragma once

// Replays a flow on the browser session step by step and reports each step as
// passed, failed with its reason, or skipped. The first failure ends the
// replay; a replay never throws.

#include "BrowserCore/FlowModel/Flow.h"
#include "BrowserCore/Flows/FlowReport.h"
#include "BrowserCore/Flows/FlowSession.h"
#include "Platform/Clock.h"
#include "Platform/Task.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace vesk {

class BrowserSession;

struct FlowRunner {
    using Values = std::map<std::string, std::string>;

    // The limit for finding a step's element and for each wait step; none:
    // the session's step timeout, read afresh at each step.
    std::optional<Duration> stepTimeout;
    // The continuous clock and its sleep; a test may drive both.
    std::function<Instant()> now = [] { return Clock::now(); };
    std::function<Task<void>(Duration)> sleep;

    // How long the locating loop waits between attempts.
    static constexpr Duration retryInterval = std::chrono::milliseconds(100);
    // Failed requests named in a failed step's reason.
    static constexpr std::size_t namedRequests = 5;

    // Replays `flow` with the caller's `values` (which win over the site's).
    // `consoleMark`: the console error count at which the whole replay began,
    // for a caller that replays a flow one step at a time; none takes it now.
    // The session must outlive the returned task.
    Task<FlowReport> run(Flow flow, FlowSession& session, Values values,
                         std::optional<std::int64_t> consoleMark = std::nullopt) const;
    // The same on the real session.
    Task<FlowReport> run(Flow flow, std::shared_ptr<BrowserSession> session, Values values) const;

    // A failed step's reason: the error's description, then the requests
    // that failed since `mark`, the last five of them.
    static std::string failureMessage(const std::exception_ptr& error, std::int64_t mark, const FlowSession& session);
};

} // namespace vesk
