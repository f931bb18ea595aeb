#pragma once

// The agent server's view of the real browser session: every operation is
// handed to the session as it is.

#include "BrowserCore/Flows/BrowserFlowSession.h"
#include "BrowserMCP/ToolSession.h"

namespace vesk {

class BrowserToolSession final : public ToolSession {
public:
    // The session must outlive this object.
    explicit BrowserToolSession(BrowserSession& session)
        : session_(session), flowSession_(session.shared_from_this()) {}

    std::string redact(std::string_view text) const override;
    PageSnapshot redactSnapshot(PageSnapshot snapshot) const override;
    std::optional<BrowserSession::Phases> phases() const override;
    void clearPhases() override;
    void markCommand() override;
    std::optional<std::string> waitingFor() const override;
    std::vector<BrowserSession::Window> windows() const override;
    std::optional<PageSnapshot> currentSnapshot() const override;

    Task<PageSnapshot> navigate(std::string url) override;
    Task<PageSnapshot> goBack() override;
    Task<PageSnapshot> goForward() override;
    Task<PageSnapshot> reload() override;
    Task<PageSnapshot> scan() override;
    Task<std::optional<std::string>> evaluate(std::string script) override;
    Task<std::vector<std::uint8_t>> screenshot() override;
    ConsoleRecorder::Taken consoleMessages() override;
    NetworkRecorder::Taken networkRequests(bool failedOnly) override;
    void selectWindow(const std::string& id) override;
    Task<void> closeWindow(std::string id) override;

    ActionResult redactActionResult(ActionResult result) const override;
    Task<ActionResult> click(std::string ref) override;
    Task<ActionResult> hover(std::string ref) override;
    Task<ActionResult> fill(std::string ref, std::string text) override;
    Task<ActionResult> select(std::string ref, std::string option) override;
    Task<ActionResult> press(std::string key, std::optional<std::string> ref) override;
    Task<ActionResult> scrollTo(std::string ref) override;
    Task<ActionResult> scrollBy(double dx, double dy) override;
    Task<void> waitForText(std::string text, bool gone, Duration timeout) override;
    Task<void> waitForSelector(std::string selector, bool gone, Duration timeout) override;
    Task<void> waitForURL(std::string part, Duration timeout) override;
    Task<void> waitForRequest(std::string request, std::string status, Duration timeout) override;
    void expectNoConsoleErrors() override;

    void recordStart(const std::string& name) override;
    Task<std::optional<Flow>> recordStop() override;
    FlowSession& flowSession() override { return flowSession_; }

private:
    BrowserSession& session_;
    BrowserFlowSession flowSession_;
};

} // namespace vesk
