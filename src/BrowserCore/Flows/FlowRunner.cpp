#include "BrowserCore/Flows/FlowRunner.h"

#include "BrowserCore/Errors/BrowserError.h"
#include "BrowserCore/Flows/BrowserFlowSession.h"
#include "BrowserCore/Flows/StepValues.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "Platform/Async.h"

#include <glib.h>

namespace vesk {

namespace {

using Action = FlowStep::Action;
using Values = FlowRunner::Values;

std::string describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& caught) {
        return caught.what();
    } catch (...) {
        return "The step failed without saying why";
    }
}

// Any absolute or relative reference parses; the session refuses the schemes
// it does not load.
bool parsesAsURL(const std::string& text) {
    if (text.empty()) return false;
    return g_uri_split(text.c_str(), G_URI_FLAGS_PARSE_RELAXED, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr);
}

Task<void> pause(const FlowRunner& runner, Duration duration) {
    if (runner.sleep) {
        co_await runner.sleep(duration);
    } else {
        co_await sleepFor(duration);
    }
}

// Looks for the element until the limit passes: by role, name and position
// alone for the first third of it (when the locator has a name), then with
// the CSS selector offered too.
Task<FlowSession::Located> locateElement(const FlowRunner& runner, FlowSession& session, const Locator& locator,
                                         Duration limit) {
    const Instant deadline = runner.now() + limit;
    const Instant early = runner.now() + limit / 3;
    for (;;) {
        std::exception_ptr failure;
        try {
            co_return co_await session.locate(locator, runner.now() < early);
        } catch (...) {
            failure = std::current_exception();
        }
        if (runner.now() >= deadline) std::rethrow_exception(failure);
        // A cancelled sleep throws: the cancellation becomes the step's error.
        co_await pause(runner, FlowRunner::retryInterval);
    }
}

std::string missing(const FlowStep& step, const char* what) {
    return "A " + std::string(FlowStep::toRaw(step.action)) + " step is missing its " + what;
}

bool needsTarget(Action action) {
    return action == Action::click || action == Action::hover || action == Action::fill || action == Action::select;
}

bool needsValue(Action action) {
    switch (action) {
    case Action::back:
    case Action::forward:
    case Action::reload:
    case Action::click:
    case Action::hover:
    case Action::waitForNoConsoleErrors:
        return false;
    default:
        return true;
    }
}

// Runs one step; gives whether only the selector found its element.
Task<bool> runStep(const FlowRunner& runner, FlowSession& session, const FlowStep& step, const Values& given,
                   std::int64_t consoleMark) {
    const Duration timeout = runner.stepTimeout.value_or(session.stepTimeout());
    std::optional<FlowSession::Located> located;
    if (step.target) located = co_await locateElement(runner, session, *step.target, timeout);

    // Navigating leaves the page's site, so only the caller's values count.
    Values values = given;
    if (step.action != Action::navigate) {
        for (auto& [name, value] : session.siteValues()) values.emplace(name, std::move(value));
    }
    std::optional<std::string> value;
    if (step.value) value = substitutedStepValue(*step.value, values);

    if (needsTarget(step.action) && !located) throw FlowError::malformedStep(missing(step, "target"));
    if (needsValue(step.action) && !value) throw FlowError::malformedStep(missing(step, "value"));
    const std::string asWritten = step.value.value_or("");
    const bool gone = step.absent.value_or(false);
    // Not a conditional inside the co_await below: GCC 12 keeps the
    // temporaries of both arms in the frame and destroys the one never made.
    std::optional<std::string> pressedOn;
    if (located) pressedOn = located->ref;

    switch (step.action) {
    case Action::navigate:
        if (!parsesAsURL(*value)) throw BrowserError::invalidURL(*value);
        co_await session.navigate(*value, asWritten);
        break;
    case Action::back:
        co_await session.goBack();
        break;
    case Action::forward:
        co_await session.goForward();
        break;
    case Action::reload:
        co_await session.reload();
        break;
    case Action::click:
        co_await session.click(located->ref);
        break;
    case Action::hover:
        co_await session.hover(located->ref);
        break;
    case Action::fill:
        co_await session.fill(located->ref, asWritten, values);
        break;
    case Action::select:
        co_await session.select(located->ref, *value, asWritten);
        break;
    case Action::press:
        co_await session.press(*value, std::move(pressedOn), asWritten);
        break;
    case Action::waitForText:
        co_await session.waitForText(*value, gone, timeout, asWritten);
        break;
    case Action::waitForSelector:
        co_await session.waitForSelector(*value, gone, timeout, asWritten);
        break;
    case Action::waitForRequest:
        co_await session.waitForRequest(*value, step.status.value_or("2xx"), timeout, asWritten);
        break;
    case Action::waitForURL:
        co_await session.waitForURL(*value, timeout, asWritten);
        break;
    case Action::waitForNoConsoleErrors:
        session.expectNoConsoleErrors(consoleMark);
        break;
    }
    co_return located && located->usedSelector;
}

Task<FlowReport> replay(FlowRunner runner, Flow flow, FlowSession& session, Values values,
                        std::optional<std::int64_t> mark) {
    const std::int64_t consoleMark = mark.value_or(session.consoleErrorCount());
    FlowReport report{flow.name, {}};
    for (std::size_t i = 0; i < flow.steps.size(); ++i) {
        const FlowStep& step = flow.steps[i];
        const Instant start = runner.now();
        session.markCommand();
        const std::int64_t networkMark = session.networkEnded();

        std::exception_ptr error;
        bool usedSelector = false;
        try {
            usedSelector = co_await runStep(runner, session, step, values, consoleMark);
        } catch (...) {
            error = std::current_exception();
        }
        StepResult result;
        result.step = step;
        if (!error) {
            result.status = StepResult::Status::passed();
            result.usedSelector = usedSelector;
            result.duration = runner.now() - start;
            report.steps.push_back(std::move(result));
            continue;
        }

        // What the page looked like when the step failed; either may be missing.
        try {
            result.screenshot = co_await session.screenshot();
        } catch (...) {
        }
        if (step.target) {
            try {
                result.snapshot = co_await session.scan();
            } catch (...) {
            }
        }
        result.status = StepResult::Status::failed(FlowRunner::failureMessage(error, networkMark, session));
        result.duration = runner.now() - start;
        report.steps.push_back(std::move(result));
        for (std::size_t rest = i + 1; rest < flow.steps.size(); ++rest) {
            report.steps.push_back(StepResult::skipped(flow.steps[rest]));
        }
        break;
    }
    co_return report;
}

Task<FlowReport> replayOnBrowser(FlowRunner runner, Flow flow, std::shared_ptr<BrowserSession> session, Values values) {
    BrowserFlowSession flowSession(std::move(session));
    co_return co_await replay(std::move(runner), std::move(flow), flowSession, std::move(values), std::nullopt);
}

} // namespace

Task<FlowReport> FlowRunner::run(Flow flow, FlowSession& session, Values values,
                                 std::optional<std::int64_t> consoleMark) const {
    return replay(*this, std::move(flow), session, std::move(values), consoleMark);
}

Task<FlowReport> FlowRunner::run(Flow flow, std::shared_ptr<BrowserSession> session, Values values) const {
    return replayOnBrowser(*this, std::move(flow), std::move(session), std::move(values));
}

std::string FlowRunner::failureMessage(const std::exception_ptr& error, std::int64_t mark, const FlowSession& session) {
    // An error's text may carry what a page wrote, a stored value included.
    std::string reason = session.redact(describe(error));
    const std::vector<NetworkRequest> failed = session.failedRequestsSince(mark);
    if (failed.empty()) return reason;
    std::string items;
    for (std::size_t i = failed.size() > namedRequests ? failed.size() - namedRequests : 0; i < failed.size(); ++i) {
        const NetworkRequest& request = failed[i];
        if (!items.empty()) items += ", ";
        items += request.method + " \"" + session.redact(request.url) + "\" ";
        items += request.status ? std::to_string(*request.status) : request.error.value_or("network error");
    }
    reason += "; requests that failed during the step";
    if (failed.size() > namedRequests) {
        reason += " (" + std::to_string(failed.size()) + ", the last " + std::to_string(namedRequests) + ")";
    }
    return reason + ": " + items;
}

} // namespace vesk
