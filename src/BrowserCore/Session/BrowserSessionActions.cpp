// Acting on the page: the pipeline every action runs through (command,
// requests, settling, scan, drawing) and the element actions built on it,
// which record their flow step once the action has succeeded.

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Records/CapturedLocator.h"
#include "BrowserCore/Session/FramePath.h"
#include "BrowserCore/Session/HoverByPointer.h"
#include "Platform/Async.h"

#include <gio/gio.h>

namespace vesk {

namespace {

using nlohmann::json;

constexpr const char* watchRequestsScript = "window[Symbol.for('Vesk.requests')]?.watch()";

// Restarts the request watcher's count in the frame's own world, so that the
// quiet-network wait after the command sees only the requests it set off.
// The web process extension runs it (frame 0 is the main frame) as a plain
// call: a page that replaced its promise built-ins cannot hold it up.
Task<void> restartRequestWatcher(WebKitWebView* view, std::optional<FrameInfo> frame) {
    GRef<WebKitWebView> keep = GRef<WebKitWebView>::retain(view);
    guint64 id = !frame || frame->isMain ? 0 : g_ascii_strtoull(frame->id.c_str(), nullptr, 10);
    WebKitUserMessage* message =
        webkit_user_message_new("vesk.page-call", g_variant_new("(ts)", id, watchRequestsScript));
    auto result = co_await gAsync([&](GAsyncReadyCallback callback, gpointer data) {
        webkit_web_view_send_message_to_page(view, message, nullptr, callback, data);
    });
    GError* error = nullptr;
    WebKitUserMessage* answer = webkit_web_view_send_message_to_page_finish(view, result.get(), &error);
    g_clear_error(&error);
    g_clear_object(&answer);
}

// What reading the page after the command threw, as the failure of an
// action that was done: the agent must not take it for one that was not.
// A cancellation stays one: the time limit says so itself.
[[noreturn]] void rethrowAsDone(const std::string& command) {
    try {
        throw;
    } catch (const CancellationError&) {
        throw;
    } catch (const BrowserError& error) {
        throw BrowserError::unreadAfterAction(command, error.description());
    } catch (const std::exception& error) {
        throw BrowserError::unreadAfterAction(command, error.what());
    }
}

// The commands that put the focus on their element, as a person's click or
// typing does.
bool focusesItsElement(const std::string& command) {
    return command == "click" || command == "fill" || command == "select" || command == "press";
}

// Clears the label of the running wait on every way out of the action.
struct WaitLabel {
    BrowserSession& session;
    ~WaitLabel() { session.clearWaitingFor(); }
};

// The arguments are made outside the coroutines: GCC 12 cannot keep a
// braced JSON literal in a coroutine frame.
json refArguments(const std::string& ref) {
    return json{{"ref", ref}};
}

json keyArguments(const std::string& key) {
    return json{{"key", key}};
}

json distanceArguments(double dx, double dy) {
    return json{{"dx", dx}, {"dy", dy}};
}

json findArguments(const Locator& locator, bool byNameOnly, long floor) {
    json arguments{{"role", locator.role}, {"name", locator.name}, {"index", locator.index}, {"floor", floor}};
    // By name alone when asked and there is a name to go by.
    bool offersSelector = !(byNameOnly && !locator.name.empty());
    if (offersSelector && locator.selector) arguments["selector"] = *locator.selector;
    return arguments;
}

CapturedLocator decodeCaptured(const json& value) {
    return CapturedLocator::decode(value);
}

Task<CapturedLocator> captureLocator(BrowserSession& session, std::string ref) {
    co_return co_await session.agentValue<CapturedLocator>(std::string("locator"), refArguments(ref), &decodeCaptured);
}

// Whether a step made now would be kept: a recording runs and the page, not
// a popup, is the active window.
bool recordsSteps(const BrowserSession& session) {
    return session.recording->has_value() && !session.activePopup->get();
}

// A ref that no subframe owns lives in the main frame.
bool inMainFrame(const BrowserSession& session, const std::string& ref) {
    auto frame = session.frameForRef(ref);
    return !frame || frame->isMain;
}

FlowStep stepOf(FlowStep::Action action, std::optional<Locator> target, std::optional<std::string> value) {
    FlowStep step;
    step.action = action;
    step.target = std::move(target);
    step.value = std::move(value);
    return step;
}

// What a fill into a password field records: never the literal it typed,
// but a text written with references stays as written.
std::optional<std::string> passwordRule(const json& arguments, const std::optional<std::string>& value) {
    auto typed = arguments.find("value");
    if (typed != arguments.end() && typed->is_string()) {
        if (value && *value == typed->get_ref<const std::string&>()) return std::string("${PASSWORD}");
        return value;
    }
    return value ? value : std::optional<std::string>("${PASSWORD}");
}

// A message about the action quotes the text as the caller wrote it, never
// the values that replaced its references.
void addWritten(json& arguments, const std::string& sent, const std::optional<std::string>& written) {
    if (written && *written != sent) arguments["written"] = *written;
}

// click and hover: one element, its step holding the locator and no value.
Task<ActionResult> actOnElement(BrowserSession& session, std::string command, FlowStep::Action action,
                                std::string ref) {
    json arguments = refArguments(ref);
    co_await session.captureTyped();
    std::optional<FlowStep> step;
    if (recordsSteps(session) && inMainFrame(session, ref)) {
        CapturedLocator captured = co_await captureLocator(session, ref);
        step = stepOf(action, captured.locator, std::nullopt);
    }
    ActionResult result = co_await session.runAction(std::move(command), std::move(arguments), false);
    if (step) session.recordStep(*step);
    co_return result;
}

} // namespace

Task<ActionResult> BrowserSession::runAction(std::string command, json arguments, bool expectsSuggestions,
                                             ReplyHandler onReply) {
    auto keep = shared_from_this();
    agentActs = true;

    // The page before: the window's last scan, or a scan now (not timed).
    // (No co_await inside a conditional expression: GCC 12 destroys the
    // branch that did not run.)
    std::optional<PageSnapshot> stored = currentSnapshot();
    PageSnapshot before;
    if (stored) {
        before = std::move(*stored);
    } else {
        before = co_await scan();
    }

    const std::string startWindow = activeWindowID();
    dialogs.records.clear();
    const std::int64_t consoleMark = console.errorsOf(startWindow);
    const std::int64_t networkMark = network.ended();
    const auto loadMark = responses.loadMark();

    std::optional<std::string> ref;
    std::optional<FrameInfo> frame;
    if (auto found = arguments.find("ref"); found != arguments.end() && found->is_string()) {
        ref = found->get<std::string>();
        frame = frameForRef(*ref);
    }

    startPhases();
    auto timed = [this](Duration Phases::*field, Instant since) {
        if (auto* live = livePhases()) live->*field += Clock::now() - since;
    };

    if (expectsSuggestions) {
        try {
            co_await restartRequestWatcher(activeView(), frame);
        } catch (...) {
            // A page without a watcher still takes the command.
        }
    }

    WaitLabel clearLabel{*this};
    setWaitingFor("the page to answer the " + command);
    const Instant commandStart = Clock::now();
    // The address of the link the action followed, as the page agent saw it.
    std::optional<std::string> linkFollowed;
    try {
        if (command == "hover" && ref) {
            co_await hoverByPointer(*this, *ref);
        } else {
            // A person's click or typing in a subframe gives the frames on
            // the way the focus, so the keys that follow go into that frame,
            // not to the page around it.
            if (frame && !frame->isMain && focusesItsElement(command)) {
                co_await focusFramesOnTheWay(*this, activeView(), *frame, command);
            }
            auto reply = co_await agentCall(command, arguments);
            if (reply && onReply) onReply(*reply);
            if (reply && reply->is_object()) {
                auto followed = reply->find("followed");
                if (followed != reply->end() && followed->is_string()) linkFollowed = followed->get<std::string>();
                if (auto copy = reply->find("copied"); copy != reply->end() && command == "press") keepCopied(*copy);
            }
        }
    } catch (...) {
        timed(&Phases::load, commandStart);
        throw;
    }

    if (expectsSuggestions) {
        setWaitingFor("the requests the " + command + " set off");
        co_await waitForQuietNetwork(frame);
    }
    timed(&Phases::load, commandStart);

    setWaitingFor("the page to settle after the " + command);
    const bool settled = co_await settle();
    // The command's time limit may have run out while the page settled.
    checkCancellation();
    // A page the action led to that did not load fails as a navigation does,
    // also one WebKit dropped without a word, which no load shows.
    if (startWindow == mainWindowID && activeWindowID() == mainWindowID) {
        if (auto failure = responses.ownLoadFailure(loadMark)) throw *failure;
        if (auto refused = linkFollowed && responses.loadMark() == loadMark ? ResponseRecorder::portRefusal(*linkFollowed)
                                                                             : std::nullopt) {
            throw *refused;
        }
    }

    setWaitingFor("a snapshot of the page after the " + command);
    const Instant scanStart = Clock::now();
    PageSnapshot after;
    try {
        after = co_await scan();
    } catch (...) {
        timed(&Phases::snapshot, scanStart);
        rethrowAsDone(command);
    }
    timed(&Phases::snapshot, scanStart);

    // A new page in the same window: wait until it has drawn something.
    if (after.url != before.url && activeWindowID() == startWindow) {
        const Instant drawingStart = Clock::now();
        try {
            after = co_await waitForDrawing(std::move(after));
        } catch (...) {
            timed(&Phases::drawing, drawingStart);
            rethrowAsDone(command);
        }
        timed(&Phases::drawing, drawingStart);
    }

    ActionResult result;
    result.window = activeWindowID();
    result.switchedWindow = result.window != startWindow;
    result.url = after.url;
    result.title = after.title;
    result.navigated = !result.switchedWindow && after.url != before.url;
    result.settled = settled;
    // Another window's page is no change of this one.
    if (!result.switchedWindow) result.changes = after.diff(before);
    if (expectsSuggestions) {
        for (const auto& element : result.changes.added) {
            if (element.role == "option") result.suggestions.push_back(element);
        }
    }
    result.dialogs = std::exchange(dialogs.records, {});
    result.consoleErrors = console.errorsOf(startWindow) - consoleMark;
    result.failedRequests = network.failedRequests(networkMark, startWindow);
    for (auto& request : result.failedRequests) request.window.reset();
    co_return result;
}

Task<ActionResult> BrowserSession::actAndRecord(std::string command, json arguments, FlowStep::Action action,
                                                std::optional<std::string> ref, std::optional<std::string> value,
                                                bool expectsSuggestions, ReplyHandler onReply) {
    auto keep = shared_from_this();
    co_await captureTyped();
    std::optional<FlowStep> step;
    if (recordsSteps(*this)) {
        if (!ref) {
            step = stepOf(action, std::nullopt, value);
        } else if (inMainFrame(*this, *ref)) {
            CapturedLocator captured = co_await captureLocator(*this, *ref);
            std::optional<std::string> recorded = value;
            if (action == FlowStep::Action::fill && captured.secret) recorded = passwordRule(arguments, value);
            step = stepOf(action, captured.locator, std::move(recorded));
        }
    }
    ActionResult result =
        co_await runAction(std::move(command), std::move(arguments), expectsSuggestions, std::move(onReply));
    if (step) recordStep(*step);
    co_return result;
}

Task<ActionResult> BrowserSession::click(std::string ref) {
    auto keep = shared_from_this();
    co_return co_await actOnElement(*this, "click", FlowStep::Action::click, std::move(ref));
}

Task<ActionResult> BrowserSession::hover(std::string ref) {
    auto keep = shared_from_this();
    co_return co_await actOnElement(*this, "hover", FlowStep::Action::hover, std::move(ref));
}

Task<ActionResult> BrowserSession::select(std::string ref, std::string option, std::optional<std::string> recordAs) {
    json arguments = refArguments(ref);
    arguments["option"] = option;
    addWritten(arguments, option, recordAs);
    return actAndRecord("select", std::move(arguments), FlowStep::Action::select, std::move(ref),
                        std::optional<std::string>(recordAs.value_or(option)), false);
}

Task<ActionResult> BrowserSession::press(std::string key, std::optional<std::string> ref,
                                         std::optional<std::string> recordAs) {
    auto keep = shared_from_this();
    json arguments = keyArguments(key);
    if (ref) arguments["ref"] = *ref;
    addWritten(arguments, key, recordAs);
    // Only a paste key is handed the copied text.
    if (pastesCopiedText(key)) {
        if (auto offer = co_await offerCopied(ref)) arguments["clipboard"] = std::move(*offer);
    }
    co_return co_await actAndRecord("press", std::move(arguments), FlowStep::Action::press, ref,
                                    std::optional<std::string>(recordAs.value_or(key)), false);
}

Task<ActionResult> BrowserSession::scrollTo(std::string ref) {
    auto keep = shared_from_this();
    co_await captureTyped();
    co_return co_await runAction("scroll", refArguments(ref), false);
}

Task<ActionResult> BrowserSession::scrollBy(double dx, double dy) {
    auto keep = shared_from_this();
    co_await captureTyped();
    co_return co_await runAction("scroll", distanceArguments(dx, dy), false);
}

Task<BrowserSession::Located> BrowserSession::locate(Locator locator, bool byNameOnly) {
    auto keep = shared_from_this();
    Found found = co_await agentValueFound("find", findArguments(locator, byNameOnly, *lastRef));
    if (found.lastRef > *lastRef) lastRef.set(found.lastRef);
    co_return Located{found.ref, found.usedSelector};
}

} // namespace vesk
