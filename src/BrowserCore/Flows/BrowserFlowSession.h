#pragma once

// Replay on the real browser session: every operation is handed to it.

#include "BrowserCore/Flows/FlowSession.h"

#include <memory>

namespace vesk {

class BrowserSession;

class BrowserFlowSession final : public FlowSession {
public:
    explicit BrowserFlowSession(std::shared_ptr<BrowserSession> session) : session_(std::move(session)) {}

    std::int64_t consoleErrorCount() const override;
    std::int64_t networkEnded() const override;
    void markCommand() override;
    Duration stepTimeout() const override;
    std::map<std::string, std::string> siteValues() const override;
    Task<Located> locate(Locator locator, bool byNameOnly) override;
    Task<void> navigate(std::string url, std::string asWritten) override;
    Task<void> goBack() override;
    Task<void> goForward() override;
    Task<void> reload() override;
    Task<void> click(std::string ref) override;
    Task<void> hover(std::string ref) override;
    Task<void> fill(std::string ref, std::string asWritten, std::map<std::string, std::string> values) override;
    Task<void> select(std::string ref, std::string option, std::string asWritten) override;
    Task<void> press(std::string key, std::optional<std::string> ref, std::string asWritten) override;
    Task<void> waitForText(std::string text, bool gone, Duration timeout, std::string asWritten) override;
    Task<void> waitForSelector(std::string selector, bool gone, Duration timeout, std::string asWritten) override;
    Task<void> waitForRequest(std::string request, std::string status, Duration timeout,
                              std::string asWritten) override;
    Task<void> waitForURL(std::string part, Duration timeout, std::string asWritten) override;
    void expectNoConsoleErrors(std::int64_t mark) override;
    Task<std::vector<std::uint8_t>> screenshot() override;
    Task<PageSnapshot> scan() override;
    std::vector<NetworkRequest> failedRequestsSince(std::int64_t mark) const override;
    std::string redact(std::string_view text) const override;

private:
    std::shared_ptr<BrowserSession> session_;
};

} // namespace vesk
