#pragma once

// What replaying a flow asks of the browser session. The runner reaches the
// session only through this, so that a replay can run against a stand-in
// without a page; BrowserFlowSession drives the real session.

#include "BrowserCore/FlowModel/Locator.h"
#include "BrowserCore/Records/NetworkRequest.h"
#include "BrowserCore/Records/PageRecords.h"
#include "Platform/Clock.h"
#include "Platform/Task.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

class FlowSession {
public:
    // The element a locator found: its ref, and whether only the CSS
    // selector found it.
    struct Located {
        std::string ref;
        bool usedSelector = false;
    };

    virtual ~FlowSession() = default;

    // Console errors counted so far over all windows.
    virtual std::int64_t consoleErrorCount() const = 0;
    // Requests the network recorder has seen end so far.
    virtual std::int64_t networkEnded() const = 0;
    // Starts a command's network marks, as before an agent's tool call.
    virtual void markCommand() = 0;
    // The session's step timeout as it is now.
    virtual Duration stepTimeout() const = 0;
    // Every value usable on the site of the page shown now.
    virtual std::map<std::string, std::string> siteValues() const = 0;

    // With `byNameOnly` and a name, the selector is not offered to the page.
    virtual Task<Located> locate(Locator locator, bool byNameOnly) = 0;

    // `asWritten` is the step's value before its references were replaced:
    // what a recording under way keeps.
    virtual Task<void> navigate(std::string url, std::string asWritten) = 0;
    virtual Task<void> goBack() = 0;
    virtual Task<void> goForward() = 0;
    virtual Task<void> reload() = 0;
    virtual Task<void> click(std::string ref) = 0;
    virtual Task<void> hover(std::string ref) = 0;
    // The session replaces the references of `asWritten` for the element's
    // site, `values` winning.
    virtual Task<void> fill(std::string ref, std::string asWritten, std::map<std::string, std::string> values) = 0;
    virtual Task<void> select(std::string ref, std::string option, std::string asWritten) = 0;
    virtual Task<void> press(std::string key, std::optional<std::string> ref, std::string asWritten) = 0;
    virtual Task<void> waitForText(std::string text, bool gone, Duration timeout, std::string asWritten) = 0;
    virtual Task<void> waitForSelector(std::string selector, bool gone, Duration timeout, std::string asWritten) = 0;
    virtual Task<void> waitForRequest(std::string request, std::string status, Duration timeout,
                                      std::string asWritten) = 0;
    virtual Task<void> waitForURL(std::string part, Duration timeout, std::string asWritten) = 0;
    // Throws the console-errors error when errors were counted since `mark`.
    virtual void expectNoConsoleErrors(std::int64_t mark) = 0;

    // PNG bytes of the window commands act on.
    virtual Task<std::vector<std::uint8_t>> screenshot() = 0;
    virtual Task<PageSnapshot> scan() = 0;
    // Requests that failed since the mark, oldest first.
    virtual std::vector<NetworkRequest> failedRequestsSince(std::int64_t mark) const = 0;
    // The text with secret values hidden.
    virtual std::string redact(std::string_view text) const = 0;
};

} // namespace vesk
