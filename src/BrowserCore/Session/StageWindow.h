#pragma once

// The stage: one window that keeps the web views no window of the
// application shows laid out, drawing and running as visible pages do
// (timers at full speed, animation frames, a viewport of each view's size,
// snapshots), without showing anything to the person.
//
// It is made once and kept, shown, for the life of the program; views come
// onto it and leave it, and no window comes and goes as pages and their
// popups move between the stage and the windows that show them.
//
// On X11 it is a borderless window that the window manager does not manage
// (no taskbar entry, no focus taken), on the screen but with an empty shape:
// it draws nothing there and takes no input. Where windows cannot be placed
// (Wayland) it is shown minimized, the nearest the platform allows. It never
// holds the keyboard focus, and screen readers are shown nothing of what it
// holds.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

namespace vesk::StageWindow {

// The stage, made and shown on first use.
GtkWindow* stage();

// Puts the view, which must lie in no window, on the stage at the view's
// size (1280 x 800 when it has none).
void put(WebKitWebView* view);

// Takes the view off the stage, if it is there.
void take(WebKitWebView* view);

} // namespace vesk::StageWindow
