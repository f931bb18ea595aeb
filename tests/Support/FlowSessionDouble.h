#pragma once

// The session as a flow replay sees it, without a page: what the test sets,
// and every call recorded in order.

#include "BrowserCore/Errors/BrowserError.h"
#include "BrowserCore/Flows/FlowSession.h"
#include "Platform/Async.h"

#include <functional>

namespace vesk::test {

class FlowSessionDouble : public FlowSession {
    using S = std::string;

public:
    std::int64_t consoleErrors = 0;
    std::int64_t ended = 0;
    Duration timeout = seconds(5);
    std::map<S, S> site;
    std::vector<NetworkRequest> failed;  // ended since mark 0; a mark skips that many
    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G'};
    PageSnapshot page;
    std::function<void(const S&)> during;  // sees every call; may throw
    S hangsOn = "\x01";                    // a call that starts so never ends until it is cancelled
    int hanging = 0;                        // such calls not yet ended
    std::function<Located(const Locator&, bool)> locator = [](auto&, bool) { return Located{"e1", false}; };
    std::vector<S> calls;

    std::int64_t consoleErrorCount() const override { return consoleErrors; }
    std::int64_t networkEnded() const override { return ended; }
    void markCommand() override { calls.push_back("mark"); }
    Duration stepTimeout() const override { return timeout; }
    std::map<S, S> siteValues() const override { return site; }
    Task<Located> locate(Locator target, bool byName) override {
        co_await act(S("locate ") + (byName ? "by name " : "") + target.name);
        co_return locator(target, byName);
    }
    Task<void> navigate(S url, S as) override { return act("navigate " + url + " as " + as); }
    Task<void> goBack() override { return act("back"); }
    Task<void> goForward() override { return act("forward"); }
    Task<void> reload() override { return act("reload"); }
    Task<void> click(S ref) override { return act("click " + ref); }
    Task<void> hover(S ref) override { return act("hover " + ref); }
    Task<void> fill(S ref, S as, std::map<S, S> values) override {
        for (const auto& [name, value] : values) as += " " + name + "=" + value;
        return act("fill " + ref + " " + as);
    }
    Task<void> select(S ref, S option, S as) override { return act("select " + ref + " " + option + " as " + as); }
    Task<void> press(S key, std::optional<S> ref, S as) override { return act("press " + key + " " + ref.value_or("-") + " as " + as); }
    // A wait is recorded with all it was given: "gone" when it waits for the
    // thing to go, its timeout in seconds, and the text as written.
    Task<void> waitForText(S text, bool gone, Duration timeout, S as) override {
        return act("waitForText " + text + (gone ? " gone" : "") + waited(timeout, as));
    }
    Task<void> waitForSelector(S selector, bool gone, Duration timeout, S as) override {
        return act("waitForSelector " + selector + (gone ? " gone" : "") + waited(timeout, as));
    }
    Task<void> waitForRequest(S request, S status, Duration timeout, S as) override {
        return act("waitForRequest " + request + " " + status + waited(timeout, as));
    }
    Task<void> waitForURL(S part, Duration timeout, S as) override {
        return act("waitForURL " + part + waited(timeout, as));
    }
    void expectNoConsoleErrors(std::int64_t mark) override {
        calls.push_back("expectNoConsoleErrors since " + std::to_string(mark));
        if (consoleErrors > mark) throw BrowserError::consoleErrors(consoleErrors - mark);
    }
    Task<std::vector<std::uint8_t>> screenshot() override {
        co_await act("screenshot");
        co_return png;
    }
    Task<PageSnapshot> scan() override {
        co_await act("scan");
        co_return page;
    }
    std::vector<NetworkRequest> failedRequestsSince(std::int64_t mark) const override {
        return {failed.begin() + std::min<std::ptrdiff_t>(mark, std::ssize(failed)), failed.end()};
    }
    S redact(std::string_view text) const override { return S(text); }

private:
    static S waited(Duration timeout, const S& as) {
        return " within " + std::to_string(static_cast<long>(toSeconds(timeout))) + " s as " + as;
    }
    Task<void> act(S text) {
        calls.push_back(text);
        if (during) during(text);
        if (!text.starts_with(hangsOn)) co_return;
        ++hanging;
        while (!isCancelled()) co_await Yield{};
        --hanging;
        throw CancellationError();
    }
};

} // namespace vesk::test
