#include "BrowserUI/Widgets/PanelWidgets.h"

#include <glib.h>
#include <glibmm/main.h>
#include <gtkmm/dialog.h>
#include <gtkmm/window.h>
#include <sigc++/adaptors/track_obj.h>
#include <gtk/gtk.h>

namespace vesk::ui {

std::string upperCased(std::string_view text) {
    gchar* upper = g_utf8_strup(text.data(), static_cast<gssize>(text.size()));
    std::string result(upper);
    g_free(upper);
    return result;
}

void setSelected(Gtk::Widget& widget, bool selected) {
    gtk_accessible_update_state(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_STATE_SELECTED, selected ? TRUE : FALSE,
                                -1);
}

void pad(Gtk::Widget& widget, int leading, int trailing, int top, int bottom) {
    widget.set_margin_start(leading);
    widget.set_margin_end(trailing);
    widget.set_margin_top(top);
    widget.set_margin_bottom(bottom);
}

void clear(Gtk::Box& box) {
    while (Gtk::Widget* child = box.get_first_child())
        box.remove(*child);
}

Gtk::Label* makeFailureText(const std::string& text) {
    auto* label = makeLabel(text, {"red"});
    label->set_wrap(true);
    return label;
}

Gtk::CheckButton* makeCheckbox(const std::string& text) {
    auto* box = Gtk::make_managed<Gtk::CheckButton>(text);
    box->add_css_class("secondaryText");
    // Read once, by the box: neither its mark nor its label again.
    setAccessibleLabel(*box, text);
    for (Gtk::Widget* part = box->get_first_child(); part; part = part->get_next_sibling()) hideFromAccessibility(*part);
    return box;
}

void noteFailure(std::optional<std::string>& failure, const std::function<void()>& call) {
    try {
        call();
        failure.reset();
    } catch (const std::exception& error) {
        failure = error.what();
    }
}

namespace {

Task<void> noteOutcome(std::weak_ptr<void> alive, std::optional<std::string>* failure, Task<void> work,
                       std::function<void()> done) {
    std::optional<std::string> outcome;
    try {
        co_await work;
    } catch (const std::exception& error) {
        outcome = error.what();
    }
    if (alive.expired()) co_return;
    *failure = std::move(outcome);
    if (done) done();
}

} // namespace

void noteFailureOf(std::weak_ptr<void> alive, std::optional<std::string>& failure,
                   const std::function<Task<void>()>& start, std::function<void()> done) {
    static_cast<void>(detach([&] { return noteOutcome(std::move(alive), &failure, start(), std::move(done)); }));
}

Gtk::Box* fieldRow(const std::string& label, int labelWidth, Gtk::Widget& field) {
    auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    row->add_css_class("fieldRow");
    row->set_size_request(-1, 28);
    auto* name = makeLabel(label, {"faintText"});
    name->set_size_request(labelWidth, -1);
    hideFromAccessibility(*name);
    row->append(*name);
    field.set_hexpand(true);
    field.set_valign(Gtk::Align::CENTER);
    row->append(field);
    return row;
}

void titleField(Gtk::Entry& field, const std::string& title, const std::string& prompt) {
    field.add_css_class("bare");
    field.add_css_class("text");
    field.set_placeholder_text(prompt);
    describe(field, title);
}

void onReturn(Gtk::Widget& field, std::function<void()> action) {
    using Action = std::function<void()>;
    g_signal_connect_data(
        field.gobj(), "activate", G_CALLBACK(+[](GtkWidget*, gpointer data) { (*static_cast<Action*>(data))(); }),
        new Action(std::move(action)), [](gpointer data, GClosure*) { delete static_cast<Action*>(data); },
        GConnectFlags(0));
}

void chooseFolder(Gtk::Widget& over, const std::string& title, Glib::RefPtr<Gtk::FileChooserNative>& holder,
                  std::function<void(const std::string&)> picked) {
    holder = Gtk::FileChooserNative::create(title, Gtk::FileChooser::Action::SELECT_FOLDER);
    if (auto* window = dynamic_cast<Gtk::Window*>(over.get_root())) holder->set_transient_for(*window);
    holder->set_modal(true);
    Gtk::FileChooserNative* chooser = holder.get();
    chooser->signal_response().connect(sigc::track_obj(
        [chooser, picked = std::move(picked)](int response) {
            if (response != Gtk::ResponseType::ACCEPT) return;
            auto file = chooser->get_file();
            if (file && !file->get_path().empty()) picked(file->get_path());
        },
        over));
    chooser->show();
}

void LaterDraw::request() {
    if (pending_.connected()) return;
    pending_ = Glib::signal_idle().connect([this] {
        pending_ = {};
        draw_();
        return false;
    });
}

namespace {

void letButtonsFocus(GListModel* children, guint, guint, guint, gpointer) {
    for (guint i = 0; i < g_list_model_get_n_items(children); ++i) {
        auto* child = static_cast<GtkWidget*>(g_list_model_get_item(children, i));
        gtk_widget_set_can_focus(child, TRUE);
        gtk_widget_set_focus_on_click(child, FALSE);
        g_object_unref(child);
    }
}

} // namespace

void reachByKeys(Gtk::WindowControls& controls) {
    gtk_widget_set_can_focus(GTK_WIDGET(controls.gobj()), TRUE);
    // The buttons are made anew whenever the window's decoration changes.
    GListModel* children = gtk_widget_observe_children(GTK_WIDGET(controls.gobj()));
    g_signal_connect(children, "items-changed", G_CALLBACK(letButtonsFocus), nullptr);
    letButtonsFocus(children, 0, 0, 0, nullptr);
    g_object_set_data_full(G_OBJECT(controls.gobj()), "vesk-observed-buttons", children, g_object_unref);
}

} // namespace vesk::ui
