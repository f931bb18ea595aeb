#include "BrowserUI/Window/PageView.h"

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Session/StageWindow.h"
#include "BrowserUI/Widgets/ViewParts.h"

#include <gtkmm/eventcontrollerfocus.h>
#include <gtkmm/eventcontrollerlegacy.h>

#include <algorithm>
#include <utility>

namespace vesk::ui {

namespace {

bool sessionHolds(const BrowserSession& session, WebKitWebView* view) {
    if (session.page->get() == view) return true;
    const auto& popups = *session.popups;
    return std::any_of(popups.begin(), popups.end(), [&](const auto& popup) { return popup.get() == view; });
}

} // namespace

PageView::PageView(std::weak_ptr<BrowserSession> session, GRef<WebKitWebView> webView, const std::string& name)
    : session_(std::move(session)), webView_(std::move(webView)) {
    set_hexpand(true);
    set_vexpand(true);
    GtkWidget* view = GTK_WIDGET(webView_.get());
    // The page speaks for itself inside; the view that holds the keyboard
    // for it is read by what it is, not by its type's name.
    setAccessibleLabel(*Glib::wrap(view), name);
    // WebKit keeps a text view of no size inside the web view, for the key
    // bindings it translates; the keyboard leaving the page would land in it
    // and go no further.
    for (GtkWidget* child = gtk_widget_get_first_child(view); child; child = gtk_widget_get_next_sibling(child)) {
        if (GTK_IS_TEXT_VIEW(child)) gtk_widget_set_can_focus(child, FALSE);
    }
    if (auto held = session_.lock()) held->unstage(webView_.get());
    // A view still in a window elsewhere (another view of it that has not
    // gone yet) is taken from there.
    if (GtkWidget* parent = gtk_widget_get_parent(view)) {
        if (GTK_IS_BOX(parent)) gtk_box_remove(GTK_BOX(parent), view);
    }
    // The stage's fixed size would hold the window at that size.
    gtk_widget_get_size_request(view, &stageWidth_, &stageHeight_);
    gtk_widget_set_size_request(view, -1, -1);
    gtk_widget_set_hexpand(view, TRUE);
    gtk_widget_set_vexpand(view, TRUE);
    gtk_box_append(gobj(), view);

    // Seen before the page gets the key or the button: whatever it does
    // next, the control said may no longer have the keyboard.
    auto acts = Gtk::EventControllerLegacy::create();
    acts->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    acts->signal_event().connect(
        [this](const std::shared_ptr<const Gdk::Event>& event) {
            auto type = event->get_event_type();
            if (type == Gdk::Event::Type::KEY_PRESS || type == Gdk::Event::Type::BUTTON_PRESS) forgetFocusedControl();
            return false;
        },
        false);
    add_controller(acts);
    auto focus = Gtk::EventControllerFocus::create();
    focus->signal_leave().connect(sigc::mem_fun(*this, &PageView::forgetFocusedControl));
    add_controller(focus);
}

void PageView::sayFocusedControl(const std::string& text) {
    gtk_accessible_update_property(GTK_ACCESSIBLE(webView_.get()), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION, text.c_str(),
                                   -1);
    sayingControl_ = true;
}

void PageView::forgetFocusedControl() {
    if (!std::exchange(sayingControl_, false)) return;
    gtk_accessible_reset_property(GTK_ACCESSIBLE(webView_.get()), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION);
}

PageView::~PageView() {
    forgetFocusedControl();
    GtkWidget* view = GTK_WIDGET(webView_.get());
    GtkWidget* parent = gtk_widget_get_parent(view);
    // gtkmm may run this after the box itself was taken apart, with the
    // view already out of it.
    if (gobj() && parent == GTK_WIDGET(gobj())) gtk_box_remove(gobj(), view);
    else if (parent) return;  // another view shows it now
    gtk_widget_set_size_request(view, stageWidth_, stageHeight_);
    auto session = session_.lock();
    if (!session || !sessionHolds(*session, webView_.get())) return;
    session->prepareStage(webView_.get());
    // The stage's own window gives the page its keyboard focus as it shows;
    // the page has left the person's window, and where the keyboard is, is
    // there: a screen reader would hear of two focused things. (A window
    // that carries the stage keeps its own focus.)
    GtkWindow* stage = StageWindow::stage();
    if (gtk_widget_get_root(view) == GTK_ROOT(stage)) gtk_root_set_focus(GTK_ROOT(stage), nullptr);
}

} // namespace vesk::ui
