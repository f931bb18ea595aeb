#include "BrowserUI/Widgets/ScrollArea.h"

#include <gtk/gtk.h>

namespace vesk::ui {

namespace {

// The keyboard goes to what the area holds, or on past the area.
gboolean focusInside(GtkWidget* area, GtkDirectionType direction) {
    GtkWidget* child = gtk_scrolled_window_get_child(GTK_SCROLLED_WINDOW(area));
    return child && gtk_widget_child_focus(child, direction);
}

// GTK's scrolled window keeps its structures to itself: the subtype is
// registered with the sizes GTK reports, as language bindings do.
GType scrollAreaType() {
    static GType type = [] {
        GTypeQuery parent;
        g_type_query(GTK_TYPE_SCROLLED_WINDOW, &parent);
        GTypeInfo info{};
        info.class_size = static_cast<guint16>(parent.class_size);
        info.instance_size = static_cast<guint16>(parent.instance_size);
        info.class_init = [](gpointer type, gpointer) { GTK_WIDGET_CLASS(type)->focus = focusInside; };
        return g_type_register_static(GTK_TYPE_SCROLLED_WINDOW, "VeskScrollArea", &info, GTypeFlags(0));
    }();
    return type;
}

} // namespace

Gtk::ScrolledWindow* makeScrollArea() {
    auto* area = Glib::wrap(GTK_SCROLLED_WINDOW(g_object_new(scrollAreaType(), nullptr)));
    return Gtk::manage(area);
}

} // namespace vesk::ui
