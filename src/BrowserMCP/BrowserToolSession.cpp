#include "BrowserMCP/BrowserToolSession.h"

namespace vesk {

// The tasks are handed back as the session starts them: they run on the
// caller's cancellation token, so the time limit reaches the session's waits.

std::string BrowserToolSession::redact(std::string_view text) const { return session_.redact(text); }

PageSnapshot BrowserToolSession::redactSnapshot(PageSnapshot snapshot) const {
    return session_.redactSnapshot(std::move(snapshot));
}

std::optional<BrowserSession::Phases> BrowserToolSession::phases() const { return session_.phases; }

void BrowserToolSession::clearPhases() {
    // A command given up on may have left its label behind.
    session_.phases.reset();
    session_.waitingFor.reset();
}

void BrowserToolSession::markCommand() { session_.markCommand(); }

std::optional<std::string> BrowserToolSession::waitingFor() const { return session_.waitingFor; }

std::vector<BrowserSession::Window> BrowserToolSession::windows() const { return session_.windows(); }

std::optional<PageSnapshot> BrowserToolSession::currentSnapshot() const { return session_.currentSnapshot(); }

Task<PageSnapshot> BrowserToolSession::navigate(std::string url) { return session_.navigate(std::move(url)); }

Task<PageSnapshot> BrowserToolSession::goBack() { return session_.goBack(); }

Task<PageSnapshot> BrowserToolSession::goForward() { return session_.goForward(); }

Task<PageSnapshot> BrowserToolSession::reload() { return session_.reload(); }

Task<PageSnapshot> BrowserToolSession::scan() { return session_.scan(); }

Task<std::optional<std::string>> BrowserToolSession::evaluate(std::string script) {
    return session_.evaluate(std::move(script));
}

Task<std::vector<std::uint8_t>> BrowserToolSession::screenshot() { return session_.screenshot(); }

ConsoleRecorder::Taken BrowserToolSession::consoleMessages() { return session_.consoleMessages(); }

NetworkRecorder::Taken BrowserToolSession::networkRequests(bool failedOnly) {
    return session_.networkRequests(failedOnly);
}

void BrowserToolSession::selectWindow(const std::string& id) { session_.selectWindow(id); }

Task<void> BrowserToolSession::closeWindow(std::string id) { return session_.closeWindow(std::move(id)); }

ActionResult BrowserToolSession::redactActionResult(ActionResult result) const {
    return session_.redactActionResult(std::move(result));
}

Task<ActionResult> BrowserToolSession::click(std::string ref) { return session_.click(std::move(ref)); }

Task<ActionResult> BrowserToolSession::hover(std::string ref) { return session_.hover(std::move(ref)); }

Task<ActionResult> BrowserToolSession::fill(std::string ref, std::string text) {
    return session_.fill(std::move(ref), std::move(text), {});
}

Task<ActionResult> BrowserToolSession::select(std::string ref, std::string option) {
    return session_.select(std::move(ref), std::move(option));
}

Task<ActionResult> BrowserToolSession::press(std::string key, std::optional<std::string> ref) {
    return session_.press(std::move(key), std::move(ref));
}

Task<ActionResult> BrowserToolSession::scrollTo(std::string ref) { return session_.scrollTo(std::move(ref)); }

Task<ActionResult> BrowserToolSession::scrollBy(double dx, double dy) { return session_.scrollBy(dx, dy); }

Task<void> BrowserToolSession::waitForText(std::string text, bool gone, Duration timeout) {
    return session_.waitForText(std::move(text), gone, timeout);
}

Task<void> BrowserToolSession::waitForSelector(std::string selector, bool gone, Duration timeout) {
    return session_.waitForSelector(std::move(selector), gone, timeout);
}

Task<void> BrowserToolSession::waitForURL(std::string part, Duration timeout) {
    return session_.waitForURL(std::move(part), timeout);
}

Task<void> BrowserToolSession::waitForRequest(std::string request, std::string status, Duration timeout) {
    return session_.waitForRequest(std::move(request), std::move(status), timeout);
}

void BrowserToolSession::expectNoConsoleErrors() { session_.expectNoConsoleErrors(); }

void BrowserToolSession::recordStart(const std::string& name) { session_.recordStart(name); }

Task<std::optional<Flow>> BrowserToolSession::recordStop() { return session_.recordStop(); }

} // namespace vesk
