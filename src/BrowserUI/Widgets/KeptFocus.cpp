#include "BrowserUI/Widgets/KeptFocus.h"

#include <gtk/gtk.h>

namespace vesk::ui {

namespace {

constexpr const char* nameKey = "vesk-focus-name";

const char* nameOf(GtkWidget* widget) {
    return static_cast<const char*>(g_object_get_data(G_OBJECT(widget), nameKey));
}

GtkWidget* named(GtkWidget* within, const std::string& name) {
    if (const char* own = nameOf(within); own && name == own) return within;
    for (GtkWidget* child = gtk_widget_get_first_child(within); child; child = gtk_widget_get_next_sibling(child)) {
        if (GtkWidget* found = named(child, name)) return found;
    }
    return nullptr;
}

// The text a field edits: the field itself, or the text widget it delegates to.
GtkText* textOf(GtkWidget* control) {
    if (!GTK_IS_EDITABLE(control)) return nullptr;
    GtkEditable* delegate = gtk_editable_get_delegate(GTK_EDITABLE(control));
    if (GTK_IS_TEXT(delegate)) return GTK_TEXT(delegate);
    return GTK_IS_TEXT(control) ? GTK_TEXT(control) : nullptr;
}

} // namespace

void nameForFocus(Gtk::Widget& control, const std::string& name) {
    g_object_set_data_full(G_OBJECT(control.gobj()), nameKey, g_strdup(name.c_str()), g_free);
}

void KeptFocus::note(Gtk::Widget& view) {
    noted_.reset();
    GtkRoot* root = gtk_widget_get_root(view.gobj());
    GtkWidget* focus = root ? gtk_root_get_focus(root) : nullptr;
    if (!focus || !gtk_widget_is_ancestor(focus, view.gobj())) return;
    for (GtkWidget* widget = focus; widget && widget != view.gobj(); widget = gtk_widget_get_parent(widget)) {
        const char* name = nameOf(widget);
        if (!name) continue;
        noted_ = name;
        GtkText* text = textOf(widget);
        if (!text || !gtk_editable_get_selection_bounds(GTK_EDITABLE(text), &selectionStart_, &selectionEnd_))
            selectionStart_ = selectionEnd_ = text ? gtk_editable_get_position(GTK_EDITABLE(text)) : 0;
        return;
    }
    // Focus on an unnamed control of the view: the view still holds it.
    noted_ = std::string();
}

void KeptFocus::restore(Gtk::Widget& view, const std::vector<std::string>& names) {
    std::optional<std::string> next = std::move(next_);
    next_.reset();
    if (!noted_) return;
    std::string noted = *noted_;
    noted_.reset();
    if (next && give(view, *next, noted)) return;
    GtkRoot* root = gtk_widget_get_root(view.gobj());
    GtkWidget* focus = root ? gtk_root_get_focus(root) : nullptr;
    if (focus && gtk_widget_is_ancestor(focus, view.gobj())) return;
    for (const std::string& name : names) {
        if (give(view, name, noted)) return;
    }
}

bool KeptFocus::give(Gtk::Widget& view, const std::string& name, const std::string& noted) {
    GtkWidget* control = name.empty() ? nullptr : named(view.gobj(), name);
    if (!control || !gtk_widget_is_sensitive(control)) return false;
    GtkText* text = textOf(control);
    if (!text) return gtk_widget_grab_focus(control);
    if (!gtk_text_grab_focus_without_selecting(text)) return false;
    if (name == noted) {
        gtk_editable_select_region(GTK_EDITABLE(text), selectionStart_, selectionEnd_);
    } else {
        gtk_editable_set_position(GTK_EDITABLE(text), -1);
    }
    return true;
}

} // namespace vesk::ui
