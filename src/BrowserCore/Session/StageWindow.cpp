#include "BrowserCore/Session/StageWindow.h"

#ifdef GDK_WINDOWING_X11
#include <X11/extensions/shape.h>
#include <gdk/x11/gdkx.h>
#endif
#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/wayland/gdkwayland.h>
#endif

namespace vesk {

namespace {

#ifdef GDK_WINDOWING_X11
// Keeps the window manager out of the stage's way before it is mapped: an
// unmanaged window is placed exactly where it asks, gets no taskbar entry
// and is never given the keyboard. It lies on the screen, for WebKit counts
// a view it finds outside every monitor as hidden (once it is shown there),
// but with no shape: it draws nothing there and takes no input.
bool placeUnseen(GtkWindow* window) {
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
    if (!GDK_IS_X11_DISPLAY(display)) return false;
    gtk_widget_realize(GTK_WIDGET(window));
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
    Display* xdisplay = gdk_x11_display_get_xdisplay(display);
    ::Window xwindow = gdk_x11_surface_get_xid(surface);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    XChangeWindowAttributes(xdisplay, xwindow, CWOverrideRedirect, &attributes);
    XMoveWindow(xdisplay, xwindow, 0, 0);
    XShapeCombineRectangles(xdisplay, xwindow, ShapeBounding, 0, 0, nullptr, 0, ShapeSet, YXBanded);
    cairo_region_t* nowhere = cairo_region_create();
    gdk_surface_set_input_region(surface, nowhere);
    cairo_region_destroy(nowhere);
    return true;
}
#else
bool placeUnseen(GtkWindow*) {
    return false;
}
#endif

// The desktop lists the stage as the application it belongs to, by the
// application's id, as the application's own window (and by the name of the
// window it stands in for).
void nameAsTheApplication(GtkWindow* window) {
#ifdef GDK_WINDOWING_WAYLAND
    GApplication* application = g_application_get_default();
    const char* id = application ? g_application_get_application_id(application) : nullptr;
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
    // Set once the window is shown (GDK sends it only then), before its
    // first frame maps it on the desktop.
    if (id && GDK_IS_WAYLAND_TOPLEVEL(surface)) gdk_wayland_toplevel_set_application_id(GDK_TOPLEVEL(surface), id);
#else
    static_cast<void>(window);
#endif
}

struct Stage;
Stage& theStage();

struct Stage {
    GtkWindow* window = nullptr;
    // The views lie on one another at the board's top left corner, each at
    // its own size: nobody sees them, and each draws as if alone.
    GtkWidget* board = nullptr;
    bool unseen = false;  // a window of its own that nobody sees (X11)
    // While a window carries the stage: the overlay, and the overlay's child
    // that holds the board.
    GtkOverlay* carrier = nullptr;
    GtkWidget* holder = nullptr;
    // The application is shutting down: its window and pages go as the
    // program ends, and the stage stands in for none of them.
    bool ending = false;
};

// Shown, not presented: presenting would ask for the keyboard. A program
// that is ending shows no new window.
void showAlone(Stage& stage) {
    if (stage.ending || gtk_widget_get_visible(GTK_WIDGET(stage.window))) return;
    gtk_widget_set_visible(GTK_WIDGET(stage.window), TRUE);
    if (stage.unseen) return;
    nameAsTheApplication(stage.window);
    gtk_window_minimize(stage.window);
}

// Where the stage is a window the desktop lists, it is one only while it
// holds views and no window of the application carries it.
void showAloneIfNeeded(Stage& stage) {
    if (stage.unseen || stage.carrier) return;
    bool holdsViews = gtk_widget_get_first_child(stage.board) != nullptr;
    if (holdsViews) showAlone(stage);
    else gtk_widget_set_visible(GTK_WIDGET(stage.window), FALSE);
}

Stage makeStage() {
    Stage stage;
    // GTK owns its toplevels, and keeps this one for the program's life.
    stage.window = GTK_WINDOW(gtk_window_new());
    gtk_window_set_decorated(stage.window, FALSE);
    gtk_window_set_resizable(stage.window, FALSE);
    stage.board = GTK_WIDGET(g_object_ref_sink(gtk_fixed_new()));
    // No view takes the keyboard here, where no person types: a screen
    // reader would hear of a second focused thing.
    gtk_widget_set_can_focus(stage.board, FALSE);
    gtk_window_set_child(stage.window, stage.board);
    // Listed to screen readers as every shown window is (below): as an
    // empty frame with no name, rather than by its type's.
    gtk_accessible_update_property(GTK_ACCESSIBLE(stage.window), GTK_ACCESSIBLE_PROPERTY_LABEL, "", -1);

    stage.unseen = placeUnseen(stage.window);
    if (stage.unseen) showAlone(stage);
    if (GApplication* application = g_application_get_default()) {
        g_signal_connect(application, "shutdown", G_CALLBACK(+[](GApplication*, gpointer) { theStage().ending = true; }),
                         nullptr);
    }
    // No person sees the stage: a screen reader is not shown what it holds
    // either. (Set after showing it, which makes a widget readable again.)
    // GTK 4.8 lists the window itself whatever it is marked: marking it
    // hidden would only make GTK tell screen readers that the program's own
    // root went, and a reader built on libatspi would lose the program.
    gtk_accessible_update_state(GTK_ACCESSIBLE(stage.board), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
    return stage;
}

Stage& theStage() {
    static Stage made = makeStage();
    return made;
}

// The holder goes, as `release` takes it out or with the window that
// carried it: the board, which GTK has taken out of it by then, comes back
// to the stage's own window.
void holderGone(GtkWidget* holder, gpointer) {
    Stage& stage = theStage();
    if (stage.holder != holder) return;
    stage.holder = nullptr;
    stage.carrier = nullptr;
    if (GtkWidget* parent = gtk_widget_get_parent(stage.board)) gtk_viewport_set_child(GTK_VIEWPORT(parent), nullptr);
    gtk_window_set_child(stage.window, stage.board);
    showAloneIfNeeded(stage);
}

} // namespace

GtkWindow* StageWindow::stage() {
    return theStage().window;
}

void StageWindow::put(WebKitWebView* view) {
    int width = 0, height = 0;
    gtk_widget_get_size_request(GTK_WIDGET(view), &width, &height);
    if (width <= 0 || height <= 0) {
        width = 1280;
        height = 800;
    }
    gtk_widget_set_size_request(GTK_WIDGET(view), width, height);
    Stage& stage = theStage();
    gtk_fixed_put(GTK_FIXED(stage.board), GTK_WIDGET(view), 0, 0);
    showAloneIfNeeded(stage);
    gtk_window_set_focus(stage.window, nullptr);
    // The view takes its size now, not at the stage's next frame: a popup's
    // page is made as soon as this returns (else at its opener's size), and
    // WebKit's messages are served before GTK lays out, so a busy program
    // would let a page load, run its scripts and be read at the wrong size.
    // The board's own layout gives it the same place and size later. (GTK
    // has a widget measured before it is given a size.)
    int minimum = 0, natural = 0;
    gtk_widget_measure(GTK_WIDGET(view), GTK_ORIENTATION_HORIZONTAL, -1, &minimum, &natural, nullptr, nullptr);
    gtk_widget_measure(GTK_WIDGET(view), GTK_ORIENTATION_VERTICAL, width, &minimum, &natural, nullptr, nullptr);
    GtkAllocation allocation{0, 0, width, height};
    gtk_widget_size_allocate(GTK_WIDGET(view), &allocation, -1);
}

void StageWindow::take(WebKitWebView* view) {
    Stage& stage = theStage();
    if (!holds(view)) return;
    gtk_fixed_remove(GTK_FIXED(stage.board), GTK_WIDGET(view));
    showAloneIfNeeded(stage);
}

bool StageWindow::holds(WebKitWebView* view) {
    return gtk_widget_get_parent(GTK_WIDGET(view)) == theStage().board;
}

void StageWindow::carryIn(GtkOverlay* overlay, const char* name) {
    Stage& stage = theStage();
    if (stage.unseen || stage.carrier == overlay) return;
    release(stage.carrier);
    // The name it goes by when it stands in for the window again.
    gtk_window_set_title(stage.window, name);
    gtk_window_set_child(stage.window, nullptr);
    gtk_widget_set_visible(GTK_WIDGET(stage.window), FALSE);
    // A view of no size at the overlay's corner, into which the board, at
    // its own size, is clipped: WebKit lays out and draws each page at its
    // view's size all the same, and nothing of it shows.
    stage.holder = gtk_scrolled_window_new();
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(stage.holder), GTK_POLICY_EXTERNAL, GTK_POLICY_EXTERNAL);
    gtk_widget_set_halign(stage.holder, GTK_ALIGN_START);
    gtk_widget_set_valign(stage.holder, GTK_ALIGN_START);
    gtk_widget_set_size_request(stage.holder, 0, 0);
    // Neither the pointer nor the keyboard reach into it (a view there that
    // asks for the focus does not get it), nor a screen reader.
    gtk_widget_set_can_target(stage.holder, FALSE);
    gtk_widget_set_can_focus(stage.holder, FALSE);
    gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(stage.holder), stage.board);
    gtk_overlay_add_overlay(overlay, stage.holder);
    gtk_accessible_update_state(GTK_ACCESSIBLE(stage.holder), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
    stage.carrier = overlay;
    g_signal_connect(stage.holder, "destroy", G_CALLBACK(holderGone), nullptr);
}

void StageWindow::release(GtkOverlay* overlay) {
    Stage& stage = theStage();
    if (!overlay || stage.carrier != overlay) return;
    gtk_overlay_remove_overlay(overlay, stage.holder);
}

} // namespace vesk
