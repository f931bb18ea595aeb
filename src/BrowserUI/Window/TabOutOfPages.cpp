#include "BrowserUI/Window/TabOutOfPages.h"

#include <webkit/webkit.h>

namespace vesk::ui {

namespace {

// The last Tab that went to a page, while it may come back.
struct TabToPage {
    GdkEvent* event = nullptr;
    GtkWidget* page = nullptr;

    void forget() {
        if (event) gdk_event_unref(event);
        event = nullptr;
        page = nullptr;
    }
    ~TabToPage() { forget(); }
};

GtkWidget* pageHolding(GtkWidget* focus) {
    for (GtkWidget* widget = focus; widget; widget = gtk_widget_get_parent(widget)) {
        if (WEBKIT_IS_WEB_VIEW(widget)) return widget;
    }
    return nullptr;
}

gboolean keyPressed(GtkEventControllerKey* keys, guint keyval, guint, GdkModifierType, gpointer data) {
    if (keyval != GDK_KEY_Tab && keyval != GDK_KEY_ISO_Left_Tab && keyval != GDK_KEY_KP_Tab) return FALSE;
    auto* last = static_cast<TabToPage*>(data);
    GdkEvent* event = gtk_event_controller_get_current_event(GTK_EVENT_CONTROLLER(keys));
    GtkWidget* window = gtk_event_controller_get_widget(GTK_EVENT_CONTROLLER(keys));
    GtkWidget* focus = gtk_root_get_focus(GTK_ROOT(window));
    if (event && event == last->event) {
        // The page handed the key back: it moved the focus out already
        // when it left the page.
        bool movedOut = !focus || pageHolding(focus) != last->page;
        last->forget();
        return movedOut;
    }
    last->forget();
    GtkWidget* page = focus ? pageHolding(focus) : nullptr;
    if (page && event) {
        last->event = gdk_event_ref(event);
        last->page = page;
    }
    return FALSE;
}

} // namespace

void takeTabOutOfPagesOneStep(Gtk::Window& window) {
    GtkEventController* keys = gtk_event_controller_key_new();
    // Before the focused page and the window's own Tab handling see it.
    gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
    auto* last = new TabToPage();
    g_object_set_data_full(G_OBJECT(keys), "vesk-tab-to-page", last,
                           [](gpointer data) { delete static_cast<TabToPage*>(data); });
    g_signal_connect(keys, "key-pressed", G_CALLBACK(keyPressed), last);
    gtk_widget_add_controller(GTK_WIDGET(window.gobj()), keys);
}

} // namespace vesk::ui
