#include "BrowserMCP/BrowserToolSession.h"

namespace vesk {

// The tasks are handed back as the session starts them: they run on the
// caller's cancellation token, so the time limit reaches the session's waits.

std::string BrowserToolSession::redact(std::string_view text) const { return session_.redact(text); }

PageSnapshot BrowserToolSession::redactSnapshot(PageSnapshot snapshot) const {
    return session_.redactSnapshot(std::move(snapshot));
}

std::optional<BrowserSession::Phases> BrowserToolSession::phases() const { return session_.phases; }

void BrowserToolSession::clearPhases() { session_.phases.reset(); }

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

} // namespace vesk
