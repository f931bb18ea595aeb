// Windows: the popups the page opens, the window that commands act on, the
// stages that keep unshown web views drawing, and the window delegate that
// answers the pages' windows and dialogs.

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Session/PageSetup.h"
#include "BrowserCore/Session/StageWindow.h"
#include "BrowserCore/Session/WindowDelegate.h"

namespace vesk {

namespace {

constexpr std::size_t popupLimit = 5;

} // namespace

void BrowserSession::selectWindow(const std::string& id) {
    if (id == mainWindowID) {
        activePopup.set({});
        return;
    }
    WebKitWebView* popup = popupWithID(id);
    for (const auto& open : *popups) {
        if (open.get() == popup) {
            activePopup.set(open);
            return;
        }
    }
}

WebKitWebView* BrowserSession::popupWithID(const std::string& id) const {
    for (const auto& popup : *popups) {
        auto found = popupIDs->find(popup.get());
        const std::string& popupID = found == popupIDs->end() ? std::string() : found->second;
        if (popupID == id) return popup.get();
    }
    throw BrowserError::noWindow(id);
}

Task<void> BrowserSession::closeWindow(std::string id) {
    WebKitWebView* popup = popupWithID(id);
    // The page is told to close, but whatever it answers, or if it never
    // answers, the popup closes: the call keeps the view alive until then.
    webkit_web_view_call_async_javascript_function(
        popup, "window.close()", -1, nullptr, nullptr, nullptr, nullptr,
        [](GObject* view, GAsyncResult* result, gpointer) {
            JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
            g_clear_object(&value);
            g_object_unref(view);
        },
        nullptr);
    g_object_ref(popup);
    closePopup(popup);
    co_return;
}

void BrowserSession::addPopup(GRef<WebKitWebView> popup) {
    lastPopup.set(*lastPopup + 1);
    std::string id = "w" + std::to_string(*lastPopup);
    popupIDs.modify([&](auto& table) { table[popup.get()] = id; });
    popups.modify([&](auto& list) { list.push_back(popup); });
    activePopup.set(popup);
}

void BrowserSession::prepareStage(WebKitWebView* view) {
    GtkWindow* stage = StageWindow::stage();
    if (StageWindow::holds(view)) return;
    // The stage no longer holds it: a window of the application shows it
    // now, or it was taken out.
    if (stages->contains(view)) stages.modify([&](auto& table) { table.erase(view); });
    if (gtk_widget_get_root(GTK_WIDGET(view))) return;  // shown in a window of the application
    StageWindow::put(view);
    stages.modify([&](auto& table) { table[view] = GRef<GtkWindow>::retain(stage); });
}

void BrowserSession::unstage(WebKitWebView* view) {
    if (!stages->contains(view)) return;
    GRef<WebKitWebView> keep = GRef<WebKitWebView>::retain(view);
    stages.modify([&](auto& table) { table.erase(view); });
    StageWindow::take(view);
}

void BrowserSession::ensureWindowDelegate() {
    if (*windowDelegate) return;
    prepareStage(page->get());

    std::weak_ptr<BrowserSession> weak = weak_from_this();
    WindowDelegate::Closures closures;
    closures.mayOpen = [weak] {
        auto session = weak.lock();
        return !session || session->popups->size() < popupLimit;
    };
    closures.makeView = [weak](WebKitWebView* opener) -> GRef<WebKitWebView> {
        auto session = weak.lock();
        if (!session) return {};
        return PageSetup::makeWebView(weak, *session->profile, opener);
    };
    closures.opened = [weak](WebKitWebView* popup, std::optional<std::string> url) {
        auto session = weak.lock();
        if (!session) return;
        session->prepareStage(popup);
        session->addPopup(GRef<WebKitWebView>::retain(popup));
        session->dialogs.record(DialogRecord::Kind::popup, url.value_or(""));
    };
    closures.closed = [weak](WebKitWebView* view) {
        if (auto session = weak.lock()) session->closePopup(view);
    };
    closures.dialog = [weak](DialogRecord::Kind kind, const std::string& message) {
        auto session = weak.lock();
        return session ? session->dialogs.record(kind, message) : true;
    };
    auto delegate = WindowDelegate::create(std::move(closures));
    delegate->attach(page->get());
    windowDelegate.set(std::move(delegate));
}

} // namespace vesk
