#include "BrowserUI/Window/TabOutOfPages.h"

#include <webkit/webkit.h>

#include <algorithm>
#include <vector>

namespace vesk::ui {

namespace {

GtkWidget* pageHolding(GtkWidget* widget) {
    for (; widget; widget = gtk_widget_get_parent(widget)) {
        if (WEBKIT_IS_WEB_VIEW(widget)) return widget;
    }
    return nullptr;
}

// The Tabs that went to a page and may come back. WebKit puts a key the
// page did not use at the end of the window's queue of events, so it may
// come back after later keys, once the focus has gone elsewhere and even
// into the page again: whether the page moved the focus out is noted as it
// happens.
class TabsToPages {
public:
    explicit TabsToPages(GtkWindow* window) : window_(window) {}
    ~TabsToPages() {
        for (auto& sent : sent_) gdk_event_unref(sent.event);
        watch(nullptr);
    }
    TabsToPages(const TabsToPages&) = delete;
    TabsToPages& operator=(const TabsToPages&) = delete;

    // Whether to stop the key here.
    bool pressed(GdkEvent* event) {
        auto back = std::find_if(sent_.begin(), sent_.end(), [&](const Sent& sent) { return sent.event == event; });
        if (back != sent_.end()) {
            bool movedOut = back->movedOut;
            gdk_event_unref(back->event);
            sent_.erase(back);
            return movedOut;
        }
        GtkWidget* page = pageHolding(gtk_root_get_focus(GTK_ROOT(window_)));
        if (!page) return false;
        // A page that uses the key never sends it back: the oldest go.
        if (sent_.size() == limit) {
            gdk_event_unref(sent_.front().event);
            sent_.erase(sent_.begin());
        }
        sent_.push_back({gdk_event_ref(event), page, false});
        return false;
    }

    void focusMoved() {
        GtkWidget* now = gtk_root_get_focus(GTK_ROOT(window_));
        GtkWidget* left = pageHolding(focus_);
        if (left && pageHolding(now) != left) {
            for (auto& sent : sent_) sent.movedOut = sent.movedOut || sent.page == left;
        }
        watch(now);
    }

private:
    struct Sent {
        GdkEvent* event;
        GtkWidget* page;  // compared only
        bool movedOut;
    };
    static constexpr std::size_t limit = 16;

    void watch(GtkWidget* focus) {
        if (focus_) g_object_remove_weak_pointer(G_OBJECT(focus_), reinterpret_cast<gpointer*>(&focus_));
        focus_ = focus;
        if (focus_) g_object_add_weak_pointer(G_OBJECT(focus_), reinterpret_cast<gpointer*>(&focus_));
    }

    GtkWindow* window_;
    GtkWidget* focus_ = nullptr;
    std::vector<Sent> sent_;
};

gboolean keyPressed(GtkEventControllerKey* keys, guint keyval, guint, GdkModifierType, gpointer data) {
    if (keyval != GDK_KEY_Tab && keyval != GDK_KEY_ISO_Left_Tab && keyval != GDK_KEY_KP_Tab) return FALSE;
    GdkEvent* event = gtk_event_controller_get_current_event(GTK_EVENT_CONTROLLER(keys));
    return event && static_cast<TabsToPages*>(data)->pressed(event);
}

} // namespace

void takeTabOutOfPagesOneStep(Gtk::Window& window) {
    auto* tabs = new TabsToPages(window.gobj());
    GtkEventController* keys = gtk_event_controller_key_new();
    // Before the focused page and the window's own Tab handling see it.
    gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
    g_object_set_data_full(G_OBJECT(keys), "vesk-tabs-to-pages", tabs,
                           [](gpointer data) { delete static_cast<TabsToPages*>(data); });
    g_signal_connect(keys, "key-pressed", G_CALLBACK(keyPressed), tabs);
    g_signal_connect_object(window.gobj(), "notify::focus-widget", G_CALLBACK(+[](GObject*, GParamSpec*, gpointer data) {
                                static_cast<TabsToPages*>(g_object_get_data(G_OBJECT(data), "vesk-tabs-to-pages"))
                                    ->focusMoved();
                            }),
                            keys, G_CONNECT_DEFAULT);
    gtk_widget_add_controller(GTK_WIDGET(window.gobj()), keys);
}

} // namespace vesk::ui
