#pragma once

// A stand-in for the browser session as the agent server sees it: no page,
// only what the test sets, and a record of what the server asked.

#include "BrowserMCP/ToolSession.h"
#include "Platform/Async.h"
#include "Platform/Text.h"
#include "Support/FlowSessionDouble.h"

#include <functional>
#include <string>
#include <vector>

namespace vesk::test {

class SessionDouble : public ToolSession {
public:
    // Like the session: texts are cut to the redaction limit, then every
    // occurrence of `secret` is shown as `reference`.
    std::string secret;
    std::string reference;

    std::optional<BrowserSession::Phases> phaseRecord;
    std::optional<std::string> waiting;
    std::vector<BrowserSession::Window> open{{"main", "", true}};
    std::optional<PageSnapshot> current;
    PageSnapshot page;  // what the loads and scans give
    std::optional<std::string> scriptValue;
    std::vector<std::uint8_t> png;
    ConsoleRecorder::Taken consoleTaken;
    NetworkRecorder::Taken networkTaken;

    // Runs inside every load and scan before it gives `page`; may suspend or throw.
    std::function<Task<void>()> during;

    int marks = 0;
    int clears = 0;
    std::vector<std::string> calls;  // the operations the tools ran, in order

    std::string redact(std::string_view text) const override {
        std::string shown = text::prefix(text::validUtf8(text), BrowserSession::redactionLimit);
        if (secret.empty()) return shown;
        for (auto at = shown.find(secret); at != std::string::npos; at = shown.find(secret, at + reference.size())) {
            shown.replace(at, secret.size(), reference);
        }
        return shown;
    }
    PageSnapshot redactSnapshot(PageSnapshot snapshot) const override {
        snapshot.title = redact(snapshot.title);
        snapshot.url = redact(snapshot.url);
        snapshot.text = redact(snapshot.text);
        for (auto& element : snapshot.elements) element.name = redact(element.name);
        return snapshot;
    }
    std::optional<BrowserSession::Phases> phases() const override { return phaseRecord; }
    void clearPhases() override {
        ++clears;
        phaseRecord.reset();
    }
    void markCommand() override { ++marks; }
    std::optional<std::string> waitingFor() const override { return waiting; }
    std::vector<BrowserSession::Window> windows() const override { return open; }
    std::optional<PageSnapshot> currentSnapshot() const override { return current; }

    Task<PageSnapshot> navigate(std::string url) override { return load("navigate " + url); }
    Task<PageSnapshot> goBack() override { return load("goBack"); }
    Task<PageSnapshot> goForward() override { return load("goForward"); }
    Task<PageSnapshot> reload() override { return load("reload"); }
    Task<PageSnapshot> scan() override { return load("scan"); }
    Task<std::optional<std::string>> evaluate(std::string script) override {
        calls.push_back("evaluate " + script);
        co_return scriptValue;
    }
    Task<std::vector<std::uint8_t>> screenshot() override {
        calls.push_back("screenshot");
        co_return png;
    }
    ConsoleRecorder::Taken consoleMessages() override {
        calls.push_back("consoleMessages");
        return consoleTaken;
    }
    NetworkRecorder::Taken networkRequests(bool failedOnly) override {
        calls.push_back(failedOnly ? "networkRequests failed" : "networkRequests");
        return networkTaken;
    }
    void selectWindow(const std::string& id) override {
        calls.push_back("selectWindow " + id);
        if (id != "main") throw BrowserError::noWindow(id);
    }
    Task<void> closeWindow(std::string id) override {
        calls.push_back("closeWindow " + id);
        throw BrowserError::noWindow(id);
        co_return;
    }

    ActionResult actionResult;  // what every action gives
    ActionResult redactActionResult(ActionResult result) const override {
        result.title = redact(result.title);
        result.url = redact(result.url);
        return result;
    }
    Task<ActionResult> click(std::string ref) override { return act("click " + ref); }
    Task<ActionResult> hover(std::string ref) override { return act("hover " + ref); }
    Task<ActionResult> fill(std::string ref, std::string text) override { return act("fill " + ref + " " + text); }
    Task<ActionResult> select(std::string ref, std::string option) override {
        return act("select " + ref + " " + option);
    }
    Task<ActionResult> press(std::string key, std::optional<std::string> ref) override {
        return act("press " + key + (ref ? " " + *ref : ""));
    }
    Task<ActionResult> scrollTo(std::string ref) override { return act("scrollTo " + ref); }
    Task<ActionResult> scrollBy(double dx, double dy) override {
        return act("scrollBy " + std::to_string(static_cast<int>(dx)) + " " + std::to_string(static_cast<int>(dy)));
    }
    Task<void> waitForText(std::string text, bool gone, Duration timeout) override {
        return wait("waitForText " + text + (gone ? " gone " : " ") + std::to_string(toSeconds(timeout)));
    }
    Task<void> waitForSelector(std::string selector, bool gone, Duration timeout) override {
        return wait("waitForSelector " + selector + (gone ? " gone " : " ") + std::to_string(toSeconds(timeout)));
    }
    Task<void> waitForURL(std::string part, Duration timeout) override {
        return wait("waitForURL " + part + " " + std::to_string(toSeconds(timeout)));
    }
    Task<void> waitForRequest(std::string request, std::string status, Duration timeout) override {
        return wait("waitForRequest " + request + " " + status + " " + std::to_string(toSeconds(timeout)));
    }
    void expectNoConsoleErrors() override { calls.push_back("expectNoConsoleErrors"); }

    std::optional<Flow> recording;
    FlowSessionDouble flows;
    void recordStart(const std::string& name) override {
        calls.push_back("recordStart " + name);
        recording = Flow{name, {}};
    }
    Task<std::optional<Flow>> recordStop() override {
        calls.push_back("recordStop");
        co_return std::exchange(recording, std::nullopt);
    }
    FlowSession& flowSession() override { return flows; }

private:
    Task<ActionResult> act(std::string call) {
        calls.push_back(std::move(call));
        if (during) co_await during();
        co_return actionResult;
    }
    Task<void> wait(std::string call) {
        calls.push_back(std::move(call));
        if (during) co_await during();
    }
    Task<PageSnapshot> load(std::string call) {
        calls.push_back(std::move(call));
        if (during) co_await during();
        co_return page;
    }
};

} // namespace vesk::test
