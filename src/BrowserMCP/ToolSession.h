#pragma once

// What the agent server asks of the browser session. The server reaches the
// session only through this, so that the road of a tool call (pause, log,
// time limit, redaction, result) can run against a stand-in without a page.
// BrowserToolSession is the one that drives the real session.

#include "BrowserCore/FlowModel/Flow.h"
#include "BrowserCore/Flows/FlowSession.h"
#include "BrowserCore/Recorders/ConsoleRecorder.h"
#include "BrowserCore/Recorders/NetworkRecorder.h"
#include "BrowserCore/Records/PageRecords.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "Platform/Clock.h"
#include "Platform/Task.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

class ToolSession {
public:
    virtual ~ToolSession() = default;

    // --- What every call's road reads or sets ---

    // The text with secret values hidden, cut to the session's limit first.
    virtual std::string redact(std::string_view text) const = 0;
    virtual PageSnapshot redactSnapshot(PageSnapshot snapshot) const = 0;
    // The phase record of the command under way; cleared before each call.
    virtual std::optional<BrowserSession::Phases> phases() const = 0;
    virtual void clearPhases() = 0;
    // Starts a command's network marks.
    virtual void markCommand() = 0;
    // What the session waits for right now, as a phrase after "waiting for".
    virtual std::optional<std::string> waitingFor() const = 0;
    // The page first ("main"), then each popup.
    virtual std::vector<BrowserSession::Window> windows() const = 0;
    // The stored snapshot of the window commands act on.
    virtual std::optional<PageSnapshot> currentSnapshot() const = 0;

    // --- The page tools' operations ---

    virtual Task<PageSnapshot> navigate(std::string url) = 0;
    virtual Task<PageSnapshot> goBack() = 0;
    virtual Task<PageSnapshot> goForward() = 0;
    virtual Task<PageSnapshot> reload() = 0;
    virtual Task<PageSnapshot> scan() = 0;
    // The script's value as JSON text, or none for undefined.
    virtual Task<std::optional<std::string>> evaluate(std::string script) = 0;
    // PNG bytes of the window commands act on.
    virtual Task<std::vector<std::uint8_t>> screenshot() = 0;
    virtual ConsoleRecorder::Taken consoleMessages() = 0;
    virtual NetworkRecorder::Taken networkRequests(bool failedOnly) = 0;
    virtual void selectWindow(const std::string& id) = 0;
    virtual Task<void> closeWindow(std::string id) = 0;

    // --- Acting on the page and waiting ---
    virtual ActionResult redactActionResult(ActionResult result) const = 0;
    virtual Task<ActionResult> click(std::string ref) = 0;
    virtual Task<ActionResult> hover(std::string ref) = 0;
    // The text as the agent wrote it: ${NAME} references are replaced for
    // the page's own site by the session.
    virtual Task<ActionResult> fill(std::string ref, std::string text) = 0;
    virtual Task<ActionResult> select(std::string ref, std::string option) = 0;
    // No ref: the focused element receives the key.
    virtual Task<ActionResult> press(std::string key, std::optional<std::string> ref) = 0;
    virtual Task<ActionResult> scrollTo(std::string ref) = 0;
    virtual Task<ActionResult> scrollBy(double dx, double dy) = 0;
    virtual Task<void> waitForText(std::string text, bool gone, Duration timeout) = 0;
    virtual Task<void> waitForSelector(std::string selector, bool gone, Duration timeout) = 0;
    virtual Task<void> waitForURL(std::string part, Duration timeout) = 0;
    virtual Task<void> waitForRequest(std::string request, std::string status, Duration timeout) = 0;
    // Throws the console-errors error when errors were logged since the
    // recording began, else since the session began.
    virtual void expectNoConsoleErrors() = 0;

    // --- Recording and replaying flows ---

    // A recording under way is replaced by the new one.
    virtual void recordStart(const std::string& name) = 0;
    // The recorded flow, or none when nothing was being recorded.
    virtual Task<std::optional<Flow>> recordStop() = 0;
    // What a flow replay asks of the session; lives as long as this object.
    virtual FlowSession& flowSession() = 0;
};

} // namespace vesk
