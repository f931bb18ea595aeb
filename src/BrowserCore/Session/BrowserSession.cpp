#include "BrowserCore/Session/BrowserSession.h"

#include "BrowserCore/Session/PageSetup.h"
#include "BrowserCore/Session/StageWindow.h"

#include <algorithm>

namespace vesk {

const std::set<std::string>& BrowserSession::allowedSchemes() {
    static const std::set<std::string> schemes{"http", "https", "about", "data"};
    return schemes;
}

std::shared_ptr<BrowserSession> BrowserSession::create(Options options) {
    std::shared_ptr<BrowserSession> session(new BrowserSession(std::move(options)));
    session->construct();
    return session;
}

BrowserSession::BrowserSession(Options options) : options(options), profile(options.profile) {}

void BrowserSession::construct() {
    page.set(makePage(*profile));
    watchDesktopSelections();

    std::weak_ptr<BrowserSession> weak = weak_from_this();
    person.report = [weak](const std::string& text) {
        if (auto session = weak.lock()) session->takePersonAction(text);
    };
    responses.variables = [weak](const std::string& host) {
        if (auto session = weak.lock()) return mergedForHost(host, *session->variables);
        return ResponseRecorder::Variables{};
    };
    auto labeller = [weak](WebKitWebView* sender) -> std::optional<WindowLabel> {
        auto session = weak.lock();
        if (!session || !sender) return std::nullopt;
        if (auto found = session->popupIDs->find(sender); found != session->popupIDs->end()) {
            return WindowLabel{found->second, false};
        }
        if (session->page->get() == sender) return WindowLabel{mainWindowID, session->popups->empty()};
        return std::nullopt;
    };
    console.window = labeller;
    network.window = labeller;

    observePage(page->get());
}

BrowserSession::~BrowserSession() {
    stopObservingPage();
    for (auto& [view, stage] : *stages) StageWindow::take(view);
}

GRef<WebKitWebView> BrowserSession::makePage(const Profile& forProfile) {
    auto view = PageSetup::makeWebView(weak_from_this(), forProfile, nullptr);
    responses.attach(view.get());
    return view;
}

// Observation of the page ---------------------------------------------------

namespace {

struct Watcher {
    std::weak_ptr<BrowserSession> session;
};

void deleteWatcher(gpointer data, GClosure*) {
    delete static_cast<Watcher*>(data);
}

std::shared_ptr<BrowserSession> sessionOf(gpointer data) {
    return static_cast<Watcher*>(data)->session.lock();
}

void copyURL(BrowserSession& session, WebKitWebView* view) {
    const char* uri = webkit_web_view_get_uri(view);
    session.url.set(uri && *uri ? std::optional<std::string>(uri) : std::nullopt);
}

void copyHistory(BrowserSession& session, WebKitWebView* view) {
    session.canGoBack.set(webkit_web_view_can_go_back(view));
    session.canGoForward.set(webkit_web_view_can_go_forward(view));
}

} // namespace

void BrowserSession::observePage(WebKitWebView* view) {
    stopObservingPage();
    std::weak_ptr<BrowserSession> weak = weak_from_this();
    auto connect = [&](gpointer instance, const char* signal, GCallback callback) {
        gulong id = g_signal_connect_data(instance, signal, callback, new Watcher{weak}, deleteWatcher, GConnectFlags(0));
        watching_.emplace_back(G_OBJECT(instance), id);
    };

    connect(view, "notify::uri", G_CALLBACK(+[](WebKitWebView* v, GParamSpec*, gpointer data) {
                if (auto session = sessionOf(data)) copyURL(*session, v);
            }));
    connect(view, "notify::is-loading", G_CALLBACK(+[](WebKitWebView* v, GParamSpec*, gpointer data) {
                if (auto session = sessionOf(data)) session->isLoading.set(webkit_web_view_is_loading(v));
            }));
    connect(view, "notify::estimated-load-progress", G_CALLBACK(+[](WebKitWebView* v, GParamSpec*, gpointer data) {
                if (auto session = sessionOf(data)) {
                    session->loadProgress.set(webkit_web_view_get_estimated_load_progress(v));
                }
            }));
    // The history of the view changes its back/forward list; both flags follow it.
    WebKitBackForwardList* history = webkit_web_view_get_back_forward_list(view);
    g_object_set_data(G_OBJECT(history), "vesk-view", view);
    connect(history, "changed", G_CALLBACK(+[](WebKitBackForwardList* list, gpointer, gpointer, gpointer data) {
                auto session = sessionOf(data);
                auto* v = static_cast<WebKitWebView*>(g_object_get_data(G_OBJECT(list), "vesk-view"));
                if (session && v) copyHistory(*session, v);
            }));

    // Each observation reports the current value at once.
    copyURL(*this, view);
    isLoading.set(webkit_web_view_is_loading(view));
    loadProgress.set(webkit_web_view_get_estimated_load_progress(view));
    copyHistory(*this, view);
}

void BrowserSession::stopObservingPage() {
    for (auto [instance, id] : watching_) {
        g_signal_handler_disconnect(instance, id);
    }
    watching_.clear();
}

// Profiles -------------------------------------------------------------------

void BrowserSession::useProfile(const Profile& newProfile) {
    if (newProfile == *profile) return;
    profile.set(newProfile);
    stopObservingPage();
    page.set(makePage(newProfile));
    observePage(page->get());

    frames.known.clear();
    refFrames.set({});
    windowDelegate.set(nullptr);
    for (auto& [view, stage] : *stages) StageWindow::take(view);
    stages.set({});
    popups.set({});
    activePopup.set({});
    popupIDs.set({});
    snapshots.set({});

    console.take();
    network.take();
    network.clearRecent();
    responses.failed.clear();
}

void BrowserSession::setVariables(std::map<std::string, std::map<std::string, std::string>> table) {
    if (variables.set(std::move(table))) {
        rebuildRedaction();
    }
}

// Windows --------------------------------------------------------------------

WebKitWebView* BrowserSession::activeView() const {
    return activePopup->get() ? activePopup->get() : page->get();
}

std::string BrowserSession::activeWindowID() const {
    if (!activePopup->get()) return mainWindowID;
    auto found = popupIDs->find(activePopup->get());
    return found == popupIDs->end() ? std::string() : found->second;
}

std::vector<BrowserSession::Window> BrowserSession::windows() const {
    auto uriOf = [](WebKitWebView* view) {
        const char* uri = webkit_web_view_get_uri(view);
        return std::string(uri ? uri : "");
    };
    std::vector<Window> list;
    list.push_back({mainWindowID, uriOf(page->get()), !activePopup->get()});
    for (const auto& popup : *popups) {
        auto found = popupIDs->find(popup.get());
        list.push_back({found == popupIDs->end() ? std::string() : found->second, uriOf(popup.get()),
                        popup == *activePopup});
    }
    return list;
}

std::optional<PageSnapshot> BrowserSession::currentSnapshot() const {
    auto found = snapshots->find(activeWindowID());
    if (found == snapshots->end()) return std::nullopt;
    return found->second;
}

void BrowserSession::closePopup(WebKitWebView* popup) {
    auto remaining = *popups;
    std::erase_if(remaining, [&](const GRef<WebKitWebView>& p) { return p.get() == popup; });
    popups.set(remaining);

    unstage(popup);
    frames.known.erase(popup);
    if (auto found = popupIDs->find(popup); found != popupIDs->end()) {
        std::string id = found->second;
        popupIDs.modify([&](auto& table) { table.erase(popup); });
        snapshots.modify([&](auto& table) { table.erase(id); });
        refFrames.modify([&](auto& table) { table.erase(id); });
    }
    if (activePopup->get() == popup) {
        activePopup.set(popups->empty() ? GRef<WebKitWebView>() : popups->back());
    }
}

// The recording --------------------------------------------------------------

void BrowserSession::recordStep(const FlowStep& step) {
    if (activePopup->get() || isCancelled()) return;
    if (*recordingIsOnlyItsStart) {
        if (step.action == FlowStep::Action::navigate && recording->has_value()) {
            recording.modify([](auto& flow) { flow->steps.clear(); });
        }
        recordingIsOnlyItsStart.set(false);
    }
    if (recording->has_value()) {
        recording.modify([&](auto& flow) { flow->steps.push_back(step); });
    }
}

void BrowserSession::Phases::hold(const std::string& cause, Duration duration, const std::optional<std::string>& label) {
    heldBy[cause] += duration;
    if (label && holders.size() < 5 && std::find(holders.begin(), holders.end(), *label) == holders.end()) {
        holders.push_back(*label);
    }
}

// Commands -------------------------------------------------------------------

void BrowserSession::markCommand() {
    commandMarks.set({commandMarks->current, network.ended()});
}

void BrowserSession::setWaitingFor(std::string what) {
    if (!isCancelled()) waitingFor = std::move(what);
}

void BrowserSession::clearWaitingFor() {
    if (!isCancelled()) waitingFor.reset();
}

void BrowserSession::startPhases() {
    if (!isCancelled()) phases = Phases{};
}

BrowserSession::Phases* BrowserSession::livePhases() {
    return phases && !isCancelled() ? &*phases : nullptr;
}

ConsoleRecorder::Taken BrowserSession::consoleMessages() {
    return console.take();
}

NetworkRecorder::Taken BrowserSession::networkRequests(bool failedOnly) {
    auto taken = network.take();
    if (failedOnly) std::erase_if(taken.requests, [](const NetworkRequest& r) { return !r.failed(); });
    return taken;
}

std::vector<NetworkRequest> BrowserSession::failedRequestsSince(std::int64_t mark) const {
    return network.failedRequests(mark);
}

std::vector<std::string> BrowserSession::knownFrameIDs(
    const std::map<WebKitWebView*, std::vector<FrameListener::KnownFrame>>& table) {
    std::vector<std::string> ids;
    for (const auto& [view, list] : table) {
        for (const auto& frame : list) ids.push_back(frame.id);
    }
    return ids;
}

} // namespace vesk
