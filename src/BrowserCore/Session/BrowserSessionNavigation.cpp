// Loading into the page: navigate, back, forward, reload, and the wait that
// follows each of them through its phases (load, settle, snapshot, drawing).

#include "BrowserCore/Session/BrowserSession.h"

#include "Platform/Async.h"

namespace vesk {

namespace {

constexpr Duration loadPoll = milliseconds(50);
// A page that has not been loading for this long counts as loaded.
constexpr Duration idleEnough = milliseconds(500);
// A request still unanswered while the page has not been loading for this
// long was dropped for a navigation of the page's own.
constexpr Duration droppedAfter = milliseconds(100);
// How long a load the page's own navigations keep dropping is made again.
constexpr Duration loadAgainFor = seconds(10);

bool hasURL(WebKitWebView* view) {
    const char* uri = webkit_web_view_get_uri(view);
    return uri && *uri;
}

std::optional<std::string> addressOf(WebKitBackForwardListItem* item) {
    const char* uri = item ? webkit_back_forward_list_item_get_uri(item) : nullptr;
    return uri ? std::optional<std::string>(uri) : std::nullopt;
}

FlowStep navigationStep(FlowStep::Action action, std::optional<std::string> value = std::nullopt) {
    FlowStep step;
    step.action = action;
    step.value = std::move(value);
    return step;
}

// Clears the label of the running wait on every way out of it, unless
// another wait has taken the label over.
struct LoadWaitLabel {
    BrowserSession& session;
    std::function<bool()> givenWay;
    ~LoadWaitLabel() {
        if (!givenWay()) session.clearWaitingFor();
    }
};

Task<PageSnapshot> goToHistoryItem(BrowserSession& session, WebKitBackForwardListItem* item) {
    auto load = [view = GRef<WebKitWebView>::retain(session.page->get()),
                 kept = GRef<WebKitBackForwardListItem>::retain(item)] {
        webkit_web_view_go_to_back_forward_list_item(view.get(), kept.get());
        return addressOf(kept.get());
    };
    auto navigation = session.responses.beginNavigation(addressOf(item));
    load();
    co_return co_await session.waitForLoad(navigation, load);
}

} // namespace

Task<PageSnapshot> BrowserSession::navigate(std::string url, std::optional<std::string> recordedAs) {
    auto keep = shared_from_this();
    // g_uri_peek_scheme answers the scheme lower-cased, or none.
    const char* scheme = g_uri_peek_scheme(url.c_str());
    if (!scheme || !allowedSchemes().contains(scheme)) {
        throw BrowserError::invalidURL(url);
    }
    // The request names the address in WebKit's own spelling.
    GRef<WebKitURIRequest> request = GRef<WebKitURIRequest>::adopt(webkit_uri_request_new(url.c_str()));
    // WebKit would put an empty page in place of the one shown: the page
    // stays, and what was typed into it.
    if (auto refused = ResponseRecorder::portRefusal(webkit_uri_request_get_uri(request.get()))) throw *refused;
    // What the person typed and the page has not reported yet goes with the
    // page it was typed into; the same before going back, forward or reloading.
    if (isRecording()) co_await captureTyped();
    auto load = [view = GRef<WebKitWebView>::retain(page->get()), request] {
        webkit_web_view_load_request(view.get(), request.get());
        return std::optional<std::string>(webkit_uri_request_get_uri(request.get()));
    };
    auto navigation = responses.beginNavigation(webkit_uri_request_get_uri(request.get()));
    load();

    PageSnapshot snapshot = co_await waitForLoad(navigation, load);
    recordStep(navigationStep(FlowStep::Action::navigate, recordedAs ? *recordedAs : url));
    co_return snapshot;
}

Task<PageSnapshot> BrowserSession::goBack() {
    auto keep = shared_from_this();
    WebKitBackForwardList* history = webkit_web_view_get_back_forward_list(page->get());
    WebKitBackForwardListItem* item = webkit_back_forward_list_get_back_item(history);
    if (!item) throw BrowserError::navigationFailed("There is no previous page");
    if (isRecording()) co_await captureTyped();
    PageSnapshot snapshot = co_await goToHistoryItem(*this, item);
    recordStep(navigationStep(FlowStep::Action::back));
    co_return snapshot;
}

Task<PageSnapshot> BrowserSession::goForward() {
    auto keep = shared_from_this();
    WebKitBackForwardList* history = webkit_web_view_get_back_forward_list(page->get());
    WebKitBackForwardListItem* item = webkit_back_forward_list_get_forward_item(history);
    if (!item) throw BrowserError::navigationFailed("There is no next page");
    if (isRecording()) co_await captureTyped();
    PageSnapshot snapshot = co_await goToHistoryItem(*this, item);
    recordStep(navigationStep(FlowStep::Action::forward));
    co_return snapshot;
}

Task<PageSnapshot> BrowserSession::reload() {
    auto keep = shared_from_this();
    if (isRecording()) co_await captureTyped();
    // The document shown is loaded again, at the address its history entry has now.
    auto shown = [view = GRef<WebKitWebView>::retain(page->get())] {
        return addressOf(webkit_back_forward_list_get_current_item(webkit_web_view_get_back_forward_list(view.get())));
    };
    auto load = [view = GRef<WebKitWebView>::retain(page->get()), shown] {
        auto asked = shown();
        webkit_web_view_reload(view.get());
        return asked;
    };
    auto navigation = responses.beginNavigation(shown());
    load();

    PageSnapshot snapshot = co_await waitForLoad(navigation, load);
    recordStep(navigationStep(FlowStep::Action::reload));
    co_return snapshot;
}

Task<PageSnapshot> BrowserSession::waitForLoad(std::optional<ResponseRecorder::NavigationID> navigation,
                                               LoadAgain again) {
    auto keep = shared_from_this();
    responses.follow(navigation);
    if (activePopup->get()) activePopup.set({});
    ensureWindowDelegate();

    // Another load wait began before this one was done (the person's, from
    // the window, or another command's): the page and the label, the phases
    // and the recorder's fields are that wait's from then on.
    auto givenWay = [this, navigation] { return responses.followed != navigation; };
    // What this wait answers then: the failure its navigation had met
    // before, or that the other took its place.
    auto gaveWay = [this, navigation] {
        if (auto failure = navigation ? responses.takeFailureOfUnfollowed(*navigation) : std::nullopt) return *failure;
        return BrowserError::navigationFailed(ResponseRecorder::supersededReason);
    };

    setWaitingFor("the page to load");
    startPhases();
    LoadWaitLabel clearLabel{*this, givenWay};
    // Adds the time a phase ran to its field, also when the phase fails.
    auto timed = [this, &givenWay](Duration Phases::*field, Instant since) {
        if (auto* live = givenWay() ? nullptr : livePhases()) live->*field += Clock::now() - since;
    };

    // Load: until the followed navigation commits or ends, the page has been
    // idle a while, or the time is up.
    Instant start = Clock::now();
    Instant deadline = start + options->navigationTimeout;
    std::optional<Instant> notLoadingSince;
    bool timedOut = false;
    // The request went unanswered while the page went on by itself.
    auto dropped = [&] {
        if (responses.ended || responses.arrived) return false;
        if (responses.followedReplaced()) return true;
        bool idle = notLoadingSince && Clock::now() - *notLoadingSince >= droppedAfter;
        return idle && ((responses.abandoned && responses.downloaded.empty()) || responses.followedNeverArrived());
    };
    try {
        while (!givenWay() && !responses.ended && !responses.arrived) {
            if (Clock::now() >= deadline) {
                webkit_web_view_stop_loading(page->get());
                timedOut = true;
                break;
            }
            // The page's own navigation came between the request and its
            // document: make the request again, now that it has passed.
            if (dropped()) {
                if (!again || Clock::now() - start >= loadAgainFor) break;
                responses.followAgain(again());
                notLoadingSince.reset();
            }
            co_await sleepFor(loadPoll);
            if (webkit_web_view_is_loading(activeView())) {
                notLoadingSince.reset();
            } else if (!notLoadingSince) {
                notLoadingSince = Clock::now();
            }
            if (notLoadingSince && Clock::now() - *notLoadingSince >= idleEnough) break;
        }
    } catch (...) {
        timed(&Phases::load, start);
        throw;
    }
    if (givenWay()) throw gaveWay();
    timed(&Phases::load, start);
    if (timedOut) throw BrowserError::timeout("loading the page");
    if (responses.ended && responses.ended->failure) throw *responses.ended->failure;
    // Without these the page before, still shown, would pass for the one loaded.
    if (responses.followedReplaced() ||
        (!responses.ended && !responses.arrived && responses.abandoned && responses.downloaded.empty()) ||
        responses.followedNeverArrived()) {
        throw BrowserError::navigationFailed(ResponseRecorder::abandonedReason);
    }

    setWaitingFor("the loaded page to settle");
    co_await settle(givenWay);
    checkCancellation();
    if (givenWay()) throw gaveWay();
    // A refusal WebKit tells only once an empty document has committed.
    if (responses.ended && responses.ended->refused) throw *responses.ended->failure;

    // A navigation that only downloaded something leaves nothing to scan.
    std::vector<DownloadedFile> downloads = responses.takeDownloaded();
    if (!downloads.empty() && !hasURL(activeView())) {
        PageSnapshot empty;
        empty.downloads = std::move(downloads);
        co_return empty;
    }

    setWaitingFor("a snapshot of the loaded page");
    Instant scanStart = Clock::now();
    PageSnapshot scanned;
    try {
        scanned = co_await scan();
    } catch (...) {
        timed(&Phases::snapshot, scanStart);
        throw;
    }
    if (givenWay()) throw gaveWay();
    timed(&Phases::snapshot, scanStart);

    Instant drawingStart = Clock::now();
    PageSnapshot drawn;
    try {
        drawn = co_await waitForDrawing(std::move(scanned), givenWay);
    } catch (...) {
        timed(&Phases::drawing, drawingStart);
        throw;
    }
    if (givenWay()) throw gaveWay();
    timed(&Phases::drawing, drawingStart);
    drawn.downloads = std::move(downloads);
    co_return drawn;
}

} // namespace vesk
