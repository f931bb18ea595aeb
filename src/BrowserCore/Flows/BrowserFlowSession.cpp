#include "BrowserCore/Flows/BrowserFlowSession.h"

#include "BrowserCore/Session/BrowserSession.h"

namespace vesk {

// Each coroutine holds the session by its own shared pointer, so that a
// replay step given up on and left running keeps what it acts on.

std::int64_t BrowserFlowSession::consoleErrorCount() const { return session_->console.errorCount(); }

std::int64_t BrowserFlowSession::networkEnded() const { return session_->networkEnded(); }

void BrowserFlowSession::markCommand() { session_->markCommand(); }

Duration BrowserFlowSession::stepTimeout() const { return session_->options->stepTimeout; }

std::map<std::string, std::string> BrowserFlowSession::siteValues() const { return session_->siteValues(); }

Task<FlowSession::Located> BrowserFlowSession::locate(Locator locator, bool byNameOnly) {
    auto session = session_;
    auto found = co_await session->locate(std::move(locator), byNameOnly);
    co_return Located{found.ref, found.usedSelector};
}

Task<void> BrowserFlowSession::navigate(std::string url, std::string asWritten) {
    auto session = session_;
    co_await session->navigate(std::move(url), std::move(asWritten));
}

Task<void> BrowserFlowSession::goBack() {
    auto session = session_;
    co_await session->goBack();
}

Task<void> BrowserFlowSession::goForward() {
    auto session = session_;
    co_await session->goForward();
}

Task<void> BrowserFlowSession::reload() {
    auto session = session_;
    co_await session->reload();
}

Task<void> BrowserFlowSession::click(std::string ref) {
    auto session = session_;
    co_await session->click(std::move(ref));
}

Task<void> BrowserFlowSession::hover(std::string ref) {
    auto session = session_;
    co_await session->hover(std::move(ref));
}

Task<void> BrowserFlowSession::fill(std::string ref, std::string asWritten, std::map<std::string, std::string> values) {
    auto session = session_;
    co_await session->fill(std::move(ref), std::move(asWritten), std::move(values));
}

Task<void> BrowserFlowSession::select(std::string ref, std::string option, std::string asWritten) {
    auto session = session_;
    co_await session->select(std::move(ref), std::move(option), std::move(asWritten));
}

Task<void> BrowserFlowSession::press(std::string key, std::optional<std::string> ref, std::string asWritten) {
    auto session = session_;
    co_await session->press(std::move(key), std::move(ref), std::move(asWritten));
}

Task<void> BrowserFlowSession::waitForText(std::string text, bool gone, Duration timeout, std::string asWritten) {
    auto session = session_;
    co_await session->waitForText(std::move(text), gone, timeout, std::move(asWritten));
}

Task<void> BrowserFlowSession::waitForSelector(std::string selector, bool gone, Duration timeout,
                                               std::string asWritten) {
    auto session = session_;
    co_await session->waitForSelector(std::move(selector), gone, timeout, std::move(asWritten));
}

Task<void> BrowserFlowSession::waitForRequest(std::string request, std::string status, Duration timeout,
                                              std::string asWritten) {
    auto session = session_;
    co_await session->waitForRequest(std::move(request), std::move(status), timeout, std::move(asWritten));
}

Task<void> BrowserFlowSession::waitForURL(std::string part, Duration timeout, std::string asWritten) {
    auto session = session_;
    co_await session->waitForURL(std::move(part), timeout, std::move(asWritten));
}

void BrowserFlowSession::expectNoConsoleErrors(std::int64_t mark) { session_->expectNoConsoleErrors(mark); }

Task<std::vector<std::uint8_t>> BrowserFlowSession::screenshot() {
    auto session = session_;
    co_return co_await session->screenshot();
}

Task<PageSnapshot> BrowserFlowSession::scan() {
    auto session = session_;
    co_return co_await session->scan();
}

std::vector<NetworkRequest> BrowserFlowSession::failedRequestsSince(std::int64_t mark) const {
    return session_->failedRequestsSince(mark);
}

std::string BrowserFlowSession::redact(std::string_view text) const { return session_->redact(text); }

} // namespace vesk
