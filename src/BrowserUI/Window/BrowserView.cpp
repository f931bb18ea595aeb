#include "BrowserUI/Window/BrowserView.h"

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Session/StageWindow.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserUI/Presentation/Localized.h"
#include "BrowserUI/SidePanel/SidePanelView.h"
#include "BrowserUI/Widgets/ViewParts.h"
#include "BrowserUI/Widgets/WidthLimit.h"
#include "BrowserUI/Window/PageView.h"
#include "BrowserUI/Window/PopupView.h"
#include "BrowserUI/Window/StartView.h"
#include "Platform/Async.h"

#include <glibmm/main.h>

#include <functional>
#include <utility>

namespace vesk::ui {

namespace {

// A control of a page as a screen reader says it: its name, then its role.
std::string spokenControl(const BrowserSession::FocusedControl& control) {
    if (control.name.empty() || control.role.empty()) return control.name + control.role;
    return control.name + ", " + control.role;
}

Task<void> readControl(std::weak_ptr<void> alive, unsigned read, std::shared_ptr<BrowserSession> session,
                       GRef<WebKitWebView> page, std::function<void(unsigned, std::optional<std::string>)> done) {
    auto control = co_await session->focusedControl(page.get());
    if (!alive.expired()) done(read, control ? std::optional(spokenControl(*control)) : std::nullopt);
}

} // namespace

BrowserView::BrowserView(BrowserModels& models) : models_(models) {
    add_css_class("browser-view");
    readAsLayout(*this);
    add_css_class("on-background");
    body_ = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL);
    body_->set_size_request(480, 360);
    set_child(*body_);
    panelSlot_ = Gtk::make_managed<Gtk::Box>();
    body_->append(*panelSlot_);
    pageArea_ = Gtk::make_managed<Gtk::Box>();
    pageArea_->set_hexpand(true);
    pageArea_->set_vexpand(true);
    body_->append(*pageArea_);

    backdrop_ = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
    backdrop_->add_css_class("sheet-backdrop");
    backdrop_->set_visible(false);
    add_overlay(*backdrop_);
    // Where the stage cannot be a window nobody sees, the window carries it.
    StageWindow::carryIn(gobj(), localized("Vesk").c_str());

    auto& session = *models_.session;
    panel.changed().connect(sigc::mem_fun(*this, &BrowserView::showPanel));
    session.url.changed().connect(sigc::mem_fun(*this, &BrowserView::showPageArea));
    session.page.changed().connect(sigc::mem_fun(*this, &BrowserView::showPageArea));
    session.popups.changed().connect(sigc::mem_fun(*this, &BrowserView::showSheet));
    session.activePopup.changed().connect(sigc::mem_fun(*this, &BrowserView::showSheet));
    models_.activity.isPaused.changed().connect(sigc::mem_fun(*this, &BrowserView::showSheet));
    showPanel();
    showPageArea();
    showSheet();
}

BrowserView::~BrowserView() {
    StageWindow::release(gobj());
    // The lent web views go back to their stages before the session's
    // observers could see a half-gone view. When the window is destroyed
    // around this view, the backdrop may be gone already, the sheet taken
    // out of it: only a parent the sheet still has is touched.
    if (sheet_) {
        GtkWidget* sheet = GTK_WIDGET(sheet_->gobj());
        if (GtkWidget* parent = gtk_widget_get_parent(sheet)) gtk_box_remove(GTK_BOX(parent), sheet);
    }
    sheet_.reset();
    retired_.clear();
    if (focusBeforeSheet_) g_object_remove_weak_pointer(G_OBJECT(focusBeforeSheet_), reinterpret_cast<gpointer*>(&focusBeforeSheet_));
}

void BrowserView::togglePanel() {
    panel.set(panel.get() ? std::nullopt : std::optional(SidePanel::activity));
}

void BrowserView::showSettings() {
    if (models_.openSettings) models_.openSettings();
}

void BrowserView::togglePause() {
    models_.activity.isPaused.set(!*models_.activity.isPaused);
}

bool BrowserView::closeSheet() {
    if (!sheet_) return false;
    sheet_->close();
    return true;
}

void BrowserView::showPanel() {
    bool shown = panel.get().has_value();
    if (shown == (side_ != nullptr)) return;
    while (auto* child = panelSlot_->get_first_child()) panelSlot_->remove(*child);
    side_ = nullptr;
    if (!shown) return;
    side_ = Gtk::make_managed<SidePanelView>(panel, models_, playback, unsavedRecordings,
                                            [this] { showSettings(); });
    // As wide as the panel is drawn, whatever a tab holds: its texts wrap or end in "…".
    panelSlot_->append(*Gtk::make_managed<WidthLimit>(*side_, sidePanelWidth));
    panelSlot_->append(*makeRule(Gtk::Orientation::VERTICAL, "edge"));
}

void BrowserView::showPageArea() {
    const auto& session = *models_.session;
    bool wantsPage = session.url->has_value() && !(start_ && start_->holdsPageArea());
    if (wantsPage && page_ && page_->webView() == session.page->get()) return;
    if (!wantsPage && start_) return;
    Gtk::Widget* leaving = start_ ? static_cast<Gtk::Widget*>(start_) : page_;
    bool hadFocus = leaving && holdsFocus(*leaving);
    if (leaving) pageArea_->remove(*leaving);
    start_ = nullptr;
    page_ = nullptr;
    if (wantsPage) {
        page_ = Gtk::make_managed<PageView>(models_.session, session.page.get(), localized("Page"));
        pageArea_->append(*page_);
        // The keyboard follows the person from the address to the page.
        if (hadFocus) gtk_widget_grab_focus(GTK_WIDGET(page_->webView()));
    } else {
        start_ = Gtk::make_managed<StartView>(models_, playback, [this] { panel.set(SidePanel::flows); });
        // Looked at again once the start view's call is over: the page may take its place.
        start_->onHoldChanged(
            [this] { Glib::signal_idle().connect_once(sigc::mem_fun(*this, &BrowserView::showPageArea)); });
        pageArea_->append(*start_);
        if (hadFocus) start_->addressField().grab_focus();
    }
}

void BrowserView::showSheet() {
    const auto& session = *models_.session;
    GRef<WebKitWebView> last = session.popups->empty() ? GRef<WebKitWebView>() : session.popups->back();
    bool agentActing = models_.hasClient && last && *session.activePopup == last && !*models_.activity.isPaused;
    if (sheet_ && last && sheet_->webView() == last.get()) {
        sheet_->setAgentActing(agentActing);
        return;
    }
    bool wasOpen = sheet_ != nullptr;
    if (sheet_) {
        backdrop_->remove(*sheet_);
        retire(std::move(sheet_));
    }
    backdrop_->set_visible(bool(last));
    if (!last) {
        if (wasOpen) giveKeyboardBack();
        return;
    }
    if (!wasOpen) keepKeyboardInSheet();
    // Closing the sheet closes the popup it shows, and no other.
    std::weak_ptr<BrowserSession> weak = models_.session;
    WebKitWebView* shown = last.get();
    sheet_ = std::make_unique<PopupView>(models_.session, last, agentActing, [weak, shown] {
        if (auto session = weak.lock()) session->closePopup(shown);
    });
    sheet_->set_halign(Gtk::Align::CENTER);
    sheet_->set_valign(Gtk::Align::START);
    sheet_->set_vexpand(true);
    backdrop_->append(*sheet_);
    // The keyboard goes to the window's page, as a window that opens takes
    // it; but while the person types elsewhere, only once the page can take
    // the keys, so that none is lost on the way.
    if (!liveFocus()) giveKeyboardToSheet();
    sheet_->whenLoaded([this, sheet = sheet_.get()] {
        if (sheet_.get() == sheet) giveKeyboardToSheet();
    });
}

GtkWidget* BrowserView::liveFocus() const {
    GtkRoot* root = gtk_widget_get_root(GTK_WIDGET(gobj()));
    GtkWidget* focus = root ? gtk_root_get_focus(root) : nullptr;
    // GTK may keep the focus on a control taken out of the window.
    return focus && gtk_widget_get_mapped(focus) ? focus : nullptr;
}

void BrowserView::giveKeyboardToSheet() {
    if (!sheet_) return;
    GtkWidget* focus = liveFocus();
    if (focus && holdsFocus(*sheet_)) return;  // the person went there first
    // Given back to where the keyboard is now when the sheet closes.
    if (focus) remember(focus);
    gtk_widget_grab_focus(GTK_WIDGET(sheet_->webView()));
}

void BrowserView::remember(GtkWidget* focus) {
    if (focus == focusBeforeSheet_) return;
    if (focusBeforeSheet_) g_object_remove_weak_pointer(G_OBJECT(focusBeforeSheet_), reinterpret_cast<gpointer*>(&focusBeforeSheet_));
    focusBeforeSheet_ = focus;
    if (focusBeforeSheet_) g_object_add_weak_pointer(G_OBJECT(focusBeforeSheet_), reinterpret_cast<gpointer*>(&focusBeforeSheet_));
    readPageControl();
}

void BrowserView::readPageControl() {
    pageControl_.reset();
    const unsigned read = ++pageControlReads_;
    if (!page_ || focusBeforeSheet_ != GTK_WIDGET(page_->webView())) return;
    // Read while the sheet is open, so that the reader hears it with the
    // page when the keyboard comes back, not after.
    GRef<WebKitWebView> page = GRef<WebKitWebView>::retain(page_->webView());
    auto done = [this](unsigned answered, std::optional<std::string> control) {
        if (answered == pageControlReads_) pageControl_ = std::move(control);
    };
    static_cast<void>(detach([&] { return readControl(liveness_.token(), read, models_.session, page, done); }));
}

bool BrowserView::holdsFocus(Gtk::Widget& widget) const {
    GtkRoot* root = gtk_widget_get_root(GTK_WIDGET(gobj()));
    GtkWidget* focus = root ? gtk_root_get_focus(root) : nullptr;
    return focus && (focus == widget.gobj() || gtk_widget_is_ancestor(focus, widget.gobj()));
}

void BrowserView::keepKeyboardInSheet() {
    GtkRoot* root = gtk_widget_get_root(GTK_WIDGET(gobj()));
    if (!root) return;
    remember(gtk_root_get_focus(root));
    // Tab then goes round the sheet alone: from its page to its close button and back.
    body_->set_can_focus(false);
    if (GtkWidget* bar = GTK_IS_WINDOW(root) ? gtk_window_get_titlebar(GTK_WINDOW(root)) : nullptr)
        gtk_widget_set_can_focus(bar, FALSE);
}

void BrowserView::giveKeyboardBack() {
    body_->set_can_focus(true);
    GtkRoot* root = gtk_widget_get_root(GTK_WIDGET(gobj()));
    if (!root) return;
    if (GtkWidget* bar = GTK_IS_WINDOW(root) ? gtk_window_get_titlebar(GTK_WINDOW(root)) : nullptr)
        gtk_widget_set_can_focus(bar, TRUE);
    GtkWidget* before = focusBeforeSheet_;
    if (before) g_object_remove_weak_pointer(G_OBJECT(before), reinterpret_cast<gpointer*>(&focusBeforeSheet_));
    focusBeforeSheet_ = nullptr;
    // The page's own control is named with the page as it takes the keyboard.
    auto control = std::exchange(pageControl_, std::nullopt);
    ++pageControlReads_;
    if (control && page_ && before == GTK_WIDGET(page_->webView())) page_->sayFocusedControl(*control);
    // Back where it was, a field's text as it was; else to the page. GTK
    // would otherwise keep the focus on the sheet taken out of the window,
    // and no key would reach the window's commands.
    if (before && gtk_widget_get_root(before) == root) {
        if (GTK_IS_TEXT(before) ? gtk_text_grab_focus_without_selecting(GTK_TEXT(before))
                                : gtk_widget_grab_focus(before))
            return;
    }
    if (page_) gtk_widget_grab_focus(GTK_WIDGET(page_->webView()));
    else if (start_) start_->addressField().grab_focus();
    else gtk_root_set_focus(root, nullptr);
}

void BrowserView::retire(std::unique_ptr<PopupView> sheet) {
    retired_.push_back(std::move(sheet));
    Glib::signal_idle().connect_once(sigc::mem_fun(*this, &BrowserView::clearRetired));
}

void BrowserView::clearRetired() {
    retired_.clear();
}

} // namespace vesk::ui
