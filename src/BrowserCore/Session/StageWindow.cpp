#include "BrowserCore/Session/StageWindow.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/x11/gdkx.h>
#endif

namespace vesk {

namespace {

#ifdef GDK_WINDOWING_X11
// Keeps the window manager out of the stage's way before it is mapped: an
// unmanaged window is placed exactly where it asks, gets no taskbar entry
// and is never given the keyboard.
bool placeOffscreen(GtkWindow* window) {
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
    if (!GDK_IS_X11_DISPLAY(display)) return false;
    gtk_widget_realize(GTK_WIDGET(window));
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
    Display* xdisplay = gdk_x11_display_get_xdisplay(display);
    ::Window xwindow = gdk_x11_surface_get_xid(surface);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    XChangeWindowAttributes(xdisplay, xwindow, CWOverrideRedirect, &attributes);
    XMoveWindow(xdisplay, xwindow, StageWindow::offscreenX, StageWindow::offscreenY);
    return true;
}
#else
bool placeOffscreen(GtkWindow*) {
    return false;
}
#endif

} // namespace

GRef<GtkWindow> StageWindow::make(WebKitWebView* view) {
    int width = 0, height = 0;
    gtk_widget_get_size_request(GTK_WIDGET(view), &width, &height);
    if (width <= 0 || height <= 0) {
        width = 1280;
        height = 800;
    }
    // GTK owns its toplevels; the stage table holds a reference of its own.
    auto window = GRef<GtkWindow>::retain(GTK_WINDOW(gtk_window_new()));
    gtk_window_set_decorated(window.get(), FALSE);
    gtk_window_set_resizable(window.get(), FALSE);
    gtk_window_set_default_size(window.get(), width, height);
    gtk_widget_set_size_request(GTK_WIDGET(view), width, height);
    gtk_window_set_child(window.get(), GTK_WIDGET(view));

    bool offscreen = placeOffscreen(window.get());
    // Shown, not presented: presenting would ask for the keyboard.
    gtk_widget_set_visible(GTK_WIDGET(window.get()), TRUE);
    if (!offscreen) gtk_window_minimize(window.get());
    // No person sees the stage: a screen reader is not shown it either.
    // (Set after showing it, which makes a widget readable again.)
    gtk_accessible_update_state(GTK_ACCESSIBLE(window.get()), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
    return window;
}

} // namespace vesk
