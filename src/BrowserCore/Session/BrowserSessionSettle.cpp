// Waiting for the page to come to rest: the requests an action set off, the
// page's own changes and animations, and its first drawing.

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/PageAgent/FrameChannel.h"
#include "BrowserCore/Records/JsonFields.h"
#include "Platform/Async.h"

#include <glib.h>

namespace vesk {

namespace {

using nlohmann::json;

constexpr Duration networkPoll = milliseconds(50);
constexpr Duration settlePoll = milliseconds(50);
constexpr Duration drawingPoll = milliseconds(100);
constexpr const char* requestStateScript = "return window[Symbol.for('Vesk.requests')]?.state()";

// The outcomes of a page-world call in a subframe, as the web process
// extension replies: the value as JSON text, a value JSON cannot carry,
// a script error, or a frame that is gone.
enum class PageCallOutcome : guint32 { json = 0, notJSON = 1, threw = 2, frameGone = 3 };

std::optional<json> parsed(const char* text) {
    if (!text) return std::nullopt;
    json value = json::parse(text, nullptr, false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

// Runs a function body in the page's own world of a frame (0: the main
// frame), through the web process extension, as a plain call: a page that
// replaced its promise built-ins cannot hold it up. Its value as JSON, none
// when it has none; throws when the call fails.
Task<std::optional<json>> callInFrame(WebKitWebView* view, std::uint64_t frameID, const char* body) {
    WebKitUserMessage* message = webkit_user_message_new("vesk.page-call", g_variant_new("(ts)", frameID, body));
    auto [outcome, answer] = co_await sendToFrame(view, message);
    switch (static_cast<PageCallOutcome>(outcome)) {
    case PageCallOutcome::json:
        co_return parsed(answer.c_str());
    case PageCallOutcome::notJSON:
        co_return std::nullopt;
    default:
        throw std::runtime_error(answer);
    }
}

Task<std::optional<json>> callInMainFrame(WebKitWebView* view, const char* body) {
    co_return co_await callInFrame(view, 0, body);
}

Task<std::optional<json>> callInSubframe(WebKitWebView* view, const FrameInfo& frame, const char* body) {
    co_return co_await callInFrame(view, webProcessFrameID(frame), body);
}

bool hasVisibleCharacter(const std::string& text) {
    const char* end = text.data() + text.size();
    for (const char* p = text.data(); p < end;) {
        gunichar c = g_utf8_get_char_validated(p, end - p);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) return true;  // not text, but not blank
        if (!g_unichar_isspace(c)) return true;
        p = g_utf8_next_char(p);
    }
    return false;
}

// One settle loop: true when the page settled, false at the deadline or on
// cancellation, or once it is given up. Charges what held each poll to the
// session's phases.
Task<bool> settleLoop(BrowserSession& session, const BrowserSession::GivenUp& givenUp) {
    const auto options = *session.options;
    const Instant start = Clock::now();
    const Instant deadline = start + options.settleTimeout;
    const double quietMs = toMilliseconds(options.settleQuiet);
    Instant last = start;
    auto charge = [&](const char* cause, Duration tick, std::optional<std::string> label = std::nullopt) {
        if (auto* live = session.livePhases()) live->hold(cause, tick, label);
    };

    if (Clock::now() >= deadline || isCancelled()) co_return false;
    while (true) {
        try {
            co_await sleepFor(settlePoll);
        } catch (const CancellationError&) {
        }
        if (givenUp && givenUp()) co_return false;
        Instant now = Clock::now();
        Duration tick = now - last;
        last = now;

        WebKitWebView* view = session.activeView();
        // A page whose navigation has committed is asked even while its
        // subresources load; one still waiting for its document is not.
        bool awaitingDocument = session.activePopup->get() || session.responses.arriving.has_value();
        // A navigation the page asked for shows as a load only once it begins.
        bool navigationComing = !session.activePopup->get() && session.responses.navigationOnItsWay();
        if ((webkit_web_view_is_loading(view) && awaitingDocument) || navigationComing) {
            charge("loading", tick);
        } else {
            std::optional<Status> status;
            try {
                if (auto value = co_await session.agentCall("status", json::object())) status = Status::decode(*value);
            } catch (...) {
                // No answer from the page agent counts as a page still loading.
            }
            if (!status) {
                charge("loading", tick);
            } else if (status->readyState != "loading" && status->quietMs >= quietMs && !status->animating) {
                co_return true;
            } else {
                if (status->readyState == "loading") charge("document", tick);
                if (status->quietMs < quietMs) {
                    charge("changes", tick, status->mutated ? std::optional("changes in " + *status->mutated)
                                                            : std::nullopt);
                }
                if (status->animating) {
                    charge("animations", tick, status->animated ? std::optional("animation of " + *status->animated)
                                                                : std::nullopt);
                }
            }
        }
        if (Clock::now() >= deadline || isCancelled()) co_return false;
    }
}

} // namespace

Task<void> BrowserSession::waitForQuietNetwork(std::optional<FrameInfo> frame) {
    const auto settings = *options;
    const Instant start = Clock::now();
    const Instant deadline = start + settings.suggestionsTimeout;
    const double quietMs = toMilliseconds(settings.settleQuiet);

    while (Clock::now() < deadline && !isCancelled()) {
        try {
            co_await sleepFor(networkPoll);
        } catch (const CancellationError&) {
            co_return;
        }
        std::optional<json> state;
        try {
            WebKitWebView* view = activeView();
            if (frame && !frame->isMain) {
                state = co_await callInSubframe(view, *frame, requestStateScript);
            } else {
                state = co_await callInMainFrame(view, requestStateScript);
            }
        } catch (...) {
            co_return;  // no watcher to ask: nothing to wait for
        }
        if (!state || !state->is_object()) co_return;
        auto pending = state->find("pending");
        if (pending == state->end()) co_return;
        auto count = json_fields::integralValue<long>(*pending);
        if (!count) co_return;
        if (*count != 0) continue;
        if (Clock::now() - start < settings.suggestionsDelay) continue;
        auto idle = state->find("idleMs");
        if (idle == state->end() || !idle->is_number()) co_return;
        if (idle->get<double>() >= quietMs) co_return;
    }
}

Task<bool> BrowserSession::settle(GivenUp givenUp) {
    const Instant began = Clock::now();
    bool settled = co_await settleLoop(*this, givenUp);
    if (givenUp && givenUp()) co_return settled;
    if (auto* live = livePhases()) {
        live->settle += Clock::now() - began;
        live->settled = settled;
    }
    co_return settled;
}

Task<PageSnapshot> BrowserSession::waitForDrawing(PageSnapshot snapshot, GivenUp givenUp) {
    const Instant deadline = Clock::now() + options->settleTimeout;
    PageSnapshot current = std::move(snapshot);
    auto goesOn = [&] { return !givenUp || !givenUp(); };
    while (current.elements.empty() && !hasVisibleCharacter(current.text) && Clock::now() < deadline && goesOn()) {
        setWaitingFor("the page to draw something");
        co_await sleepFor(drawingPoll);
        if (!goesOn()) break;
        current = co_await scan();
    }
    co_return current;
}

} // namespace vesk
