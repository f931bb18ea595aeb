// Waits for a state of the page: text or a selector present or gone, the URL
// containing a pattern, a request answered, no console errors. Each polls
// against one deadline taken on the monotonic clock, checks at least once
// even with no time at all, and records its step only when it succeeds.

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Secrets/KnownReferences.h"
#include "BrowserCore/Session/RequestPattern.h"
#include "BrowserCore/Session/StatusClass.h"
#include "Platform/Async.h"

namespace vesk {

namespace {

constexpr Duration pollInterval = milliseconds(50);

std::string decodeText(const nlohmann::json& value) {
    return value.get<std::string>();
}

FlowStep waitStep(FlowStep::Action action, std::string value) {
    FlowStep step;
    step.action = action;
    step.value = std::move(value);
    return step;
}

} // namespace

Task<void> BrowserSession::probeUntil(nlohmann::json args, bool gone, Duration timeout, std::string goneLabel,
                                      std::string presentLabel) {
    // Typing still pending goes into the recording before the wait's step.
    if (isRecording()) co_await captureTyped();
    const Instant deadline = Clock::now() + timeout;
    std::string lastAnswer = "missing";
    std::optional<std::string> lastFailure;
    while (true) {
        std::optional<std::string> answer;
        try {
            answer = co_await agentValue<std::string>("probe", args, decodeText);
        } catch (const BrowserError& error) {
            lastFailure = error.description();
        } catch (const std::exception& error) {
            lastFailure = error.what();
        }
        if (answer) {
            // "hidden" is gone as far as a wait for absence goes.
            if ((*answer == "found") != gone) co_return;
            lastAnswer = *answer;
            lastFailure.reset();
        }
        if (Clock::now() < deadline) {
            co_await sleepFor(pollInterval);
            continue;
        }
        std::string text = gone ? goneLabel : presentLabel;
        if (lastFailure) {
            text += "; the check failed with: " + *lastFailure;
        } else if (gone) {
            text += "; it is still there";
        } else if (lastAnswer == "hidden") {
            text += "; the selector matches an element that is not visible";
        }
        if (url->has_value()) text += "; the page is at " + **url;
        throw BrowserError::timeout(redact(text));
    }
}

Task<void> BrowserSession::waitForText(std::string text, bool gone, Duration timeout,
                                       std::optional<std::string> recordedAs) {
    std::string present = "waiting for text \"" + text + "\"";
    nlohmann::json args;
    args["text"] = text;
    co_await probeUntil(std::move(args), gone, timeout, present + " to be gone", present);
    FlowStep step = waitStep(FlowStep::Action::waitForText, recordedAs.value_or(text));
    if (gone) step.absent = true;
    recordStep(step);
}

Task<void> BrowserSession::waitForSelector(std::string selector, bool gone, Duration timeout,
                                           std::optional<std::string> recordedAs) {
    std::string present = "waiting for selector " + selector;
    nlohmann::json args;
    args["selector"] = selector;
    co_await probeUntil(std::move(args), gone, timeout, present + " to be gone", present);
    FlowStep step = waitStep(FlowStep::Action::waitForSelector, recordedAs.value_or(selector));
    if (gone) step.absent = true;
    recordStep(step);
}

Task<void> BrowserSession::waitForURL(std::string pattern, Duration timeout, std::optional<std::string> recordedAs) {
    if (isRecording()) co_await captureTyped();
    // A caller that gives the text as written has replaced the references
    // itself: a value holding a reference is not expanded a second time.
    const std::string wanted = recordedAs ? pattern : replacingKnownReferences(pattern, siteValues(std::nullopt));
    const Instant deadline = Clock::now() + timeout;
    while (true) {
        if (url->has_value() && (*url)->find(wanted) != std::string::npos) {
            recordStep(waitStep(FlowStep::Action::waitForURL, recordedAs.value_or(pattern)));
            co_return;
        }
        if (Clock::now() < deadline) {
            co_await sleepFor(pollInterval);
            continue;
        }
        std::string text = "waiting for the URL to contain \"" + wanted + "\"; ";
        text += url->has_value() ? "the page is at " + **url : std::string("the page has no URL");
        throw BrowserError::timeout(redact(text));
    }
}

Task<void> BrowserSession::waitForRequest(std::string request, std::string statusPattern, Duration timeout,
                                          std::optional<std::string> recordedAs) {
    const StatusClass wanted = StatusClass::parse(statusPattern);
    if (isRecording()) co_await captureTyped();
    const std::string described = recordedAs ? request : replacingKnownReferences(request, siteValues(std::nullopt));
    const RequestPattern pattern = RequestPattern::parse(described);
    const std::int64_t mark = commandMarks->previous;
    const Instant deadline = Clock::now() + timeout;
    while (true) {
        RequestCheck check = checkRequests(network.recent(), network.ended(), mark, pattern, wanted);
        if (check.outcome == RequestCheck::Outcome::answered) {
            FlowStep step = waitStep(FlowStep::Action::waitForRequest, recordedAs.value_or(request));
            if (wanted.pattern != "2xx") step.status = wanted.pattern;
            recordStep(step);
            co_return;
        }
        if (check.outcome == RequestCheck::Outcome::wrongStatus) {
            throw BrowserError::requestStatus(described, check.got, wanted.pattern);
        }
        if (Clock::now() < deadline) {
            co_await sleepFor(pollInterval);
            continue;
        }
        throw BrowserError::timeout("waiting for request " + described);
    }
}

void BrowserSession::expectNoConsoleErrors(std::optional<std::int64_t> mark) {
    std::int64_t count = console.errorCount() - mark.value_or(*recordingConsoleMark);
    if (count >= 1) throw BrowserError::consoleErrors(count);
    FlowStep step;
    step.action = FlowStep::Action::waitForNoConsoleErrors;
    recordStep(step);
}

} // namespace vesk
