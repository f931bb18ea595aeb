#include "BrowserCore/Session/StageWindow.h"

#ifdef GDK_WINDOWING_X11
#include <X11/extensions/shape.h>
#include <gdk/x11/gdkx.h>
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

// The views lie on one another at the stage's top left corner, each at its
// own size: nobody sees them, and each draws as if alone.
GtkWidget* boardOf(GtkWindow* stage) {
    return gtk_window_get_child(stage);
}

GtkWindow* makeStage() {
    // GTK owns its toplevels, and keeps this one for the program's life.
    GtkWindow* window = GTK_WINDOW(gtk_window_new());
    gtk_window_set_decorated(window, FALSE);
    gtk_window_set_resizable(window, FALSE);
    GtkWidget* board = gtk_fixed_new();
    // No view takes the keyboard here, where no person types: a screen
    // reader would hear of a second focused thing.
    gtk_widget_set_can_focus(board, FALSE);
    gtk_window_set_child(window, board);
    // Listed to screen readers as every shown window is (below): as an
    // empty frame with no name, rather than by its type's.
    gtk_accessible_update_property(GTK_ACCESSIBLE(window), GTK_ACCESSIBLE_PROPERTY_LABEL, "", -1);

    bool unseen = placeUnseen(window);
    // Shown, not presented: presenting would ask for the keyboard.
    gtk_widget_set_visible(GTK_WIDGET(window), TRUE);
    if (!unseen) gtk_window_minimize(window);
    // No person sees the stage: a screen reader is not shown what it holds
    // either. (Set after showing it, which makes a widget readable again.)
    // GTK 4.8 lists the window itself whatever it is marked: marking it
    // hidden would only make GTK tell screen readers that the program's own
    // root went, and a reader built on libatspi would lose the program.
    gtk_accessible_update_state(GTK_ACCESSIBLE(board), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
    return window;
}

} // namespace

GtkWindow* StageWindow::stage() {
    static GtkWindow* made = makeStage();
    return made;
}

void StageWindow::put(WebKitWebView* view) {
    int width = 0, height = 0;
    gtk_widget_get_size_request(GTK_WIDGET(view), &width, &height);
    if (width <= 0 || height <= 0) {
        width = 1280;
        height = 800;
    }
    gtk_widget_set_size_request(GTK_WIDGET(view), width, height);
    GtkWindow* window = stage();
    gtk_fixed_put(GTK_FIXED(boardOf(window)), GTK_WIDGET(view), 0, 0);
    gtk_window_set_focus(window, nullptr);
}

void StageWindow::take(WebKitWebView* view) {
    GtkWidget* board = boardOf(stage());
    if (gtk_widget_get_parent(GTK_WIDGET(view)) == board) gtk_fixed_remove(GTK_FIXED(board), GTK_WIDGET(view));
}

} // namespace vesk
