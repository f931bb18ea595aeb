#include "BrowserUI/Window/PopupView.h"

#include "BrowserUI/Presentation/AddressText.h"
#include "BrowserUI/Presentation/Localized.h"

#include <utility>

namespace vesk::ui {

std::string popupHostText(const std::optional<std::string>& url) {
    auto host = url ? hostOf(*url) : std::nullopt;
    return host ? *host : "…";
}

PopupView::PopupView(std::weak_ptr<BrowserSession> session, GRef<WebKitWebView> webView, bool agentActing,
                     std::function<void()> close)
    : webView_(webView), close_(std::move(close)) {
    add_css_class("popup-sheet");
    readAsLayout(*this);
    add_css_class("on-background");
    set_overflow(Gtk::Overflow::HIDDEN);
    content_.set_parent(*this);

    auto* header = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    header->add_css_class("popup-header");
    header->add_css_class("on-background");
    auto* title = Gtk::make_managed<Gtk::Box>();
    title->append(*makeLabel(localized("window of "), {"mono-12", "faintText"}));
    host_ = makeLabel("", {"mono-12", "text"});
    host_->set_ellipsize(Pango::EllipsizeMode::END);
    title->append(*host_);
    header->append(*title);
    agentMark_ = makeLabel(localized("● the agent acts here"), {"mono-12", "blue"});
    header->append(*agentMark_);
    auto* space = Gtk::make_managed<Gtk::Box>();
    space->set_hexpand(true);
    header->append(*space);
    auto* closeButton = makePlainButton(localized("close"), {"mono-12", "secondaryText"});
    closeButton->signal_clicked().connect(sigc::mem_fun(*this, &PopupView::close));
    describe(*closeButton, localized("close"));
    header->append(*closeButton);
    closeButton_ = closeButton;
    content_.append(*header);
    content_.append(*makeRule(Gtk::Orientation::HORIZONTAL, "edge"));

    page_ = Gtk::make_managed<PageView>(std::move(session), webView, localized("Page of the window"));
    content_.append(*page_);
    setAgentActing(agentActing);

    uriHandler_ = g_signal_connect_swapped(webView.get(), "notify::uri", G_CALLBACK(+[](PopupView* view) {
                                               view->showURL();
                                           }),
                                           this);
    loadHandler_ = g_signal_connect_swapped(webView.get(), "load-changed",
                                            G_CALLBACK(+[](PopupView* view, WebKitLoadEvent event) {
                                                view->loadChanged(event);
                                            }),
                                            this);
    // A window shown later than it opened may have its page already; one
    // just opened has not begun to load it.
    WebKitWebView* view = webView.get();
    loaded_ = webkit_web_view_get_uri(view) && !webkit_web_view_is_loading(view) &&
              webkit_web_view_get_estimated_load_progress(view) >= 1.0;
    showURL();
}

PopupView::~PopupView() {
    g_signal_handler_disconnect(webView_.get(), uriHandler_);
    g_signal_handler_disconnect(webView_.get(), loadHandler_);
    content_.unparent();
}

void PopupView::measure_vfunc(Gtk::Orientation orientation, int, int& minimum, int& natural, int& minimumBaseline,
                              int& naturalBaseline) const {
    bool wide = orientation == Gtk::Orientation::HORIZONTAL;
    minimum = wide ? 320 : 240;
    natural = wide ? 520 : 680;
    minimumBaseline = naturalBaseline = -1;
}

void PopupView::size_allocate_vfunc(int width, int height, int baseline) {
    content_.size_allocate(Gtk::Allocation(0, 0, width, height), baseline);
}

void PopupView::setAgentActing(bool acting) {
    agentMark_->set_visible(acting);
}

void PopupView::close() {
    if (close_) close_();
}

void PopupView::whenLoaded(std::function<void()> ready) {
    if (loaded_) {
        ready();
        return;
    }
    whenLoaded_ = std::move(ready);
}

void PopupView::loadChanged(WebKitLoadEvent event) {
    if (event != WEBKIT_LOAD_FINISHED || loaded_) return;
    loaded_ = true;
    if (auto ready = std::exchange(whenLoaded_, nullptr)) ready();
}

void PopupView::showURL() {
    const char* uri = webkit_web_view_get_uri(webView_.get());
    std::optional<std::string> url = uri ? std::optional<std::string>(uri) : std::nullopt;
    host_->set_text(popupHostText(url));
    // The "…" of a window without a host is drawn as faint as the words before it.
    setColour(*host_, url && hostOf(*url) ? "text" : "faintText");
}

} // namespace vesk::ui
