#pragma once

// The stage: the place that keeps the web views no window of the
// application shows laid out, drawing and running as visible pages do
// (timers at full speed, animation frames, a viewport of each view's size,
// snapshots), without showing anything to the person.
//
// Views come onto it and leave it; no window comes and goes as pages and
// their popups move between the stage and the windows that show them.
//
// On X11 it is one window, made once and kept shown for the life of the
// program: a borderless window that the window manager does not manage (no
// taskbar entry, no focus taken), on the screen but with an empty shape, so
// that it draws nothing there and takes no input.
//
// Where windows cannot be placed (Wayland), every window is one the desktop
// lists. There the application's window, while it is shown, carries the
// stage inside itself, where it takes no room, draws nothing the person
// sees and takes no input; only while no window carries it (before the
// window opens, after the person closed it) is it a window of its own,
// shown minimized, with the application's id and the window's name. Once
// the application shuts down it shows no more: a program that is ending
// maps no new window.
//
// It never holds the keyboard focus, and screen readers are shown nothing
// of what it holds.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

namespace vesk::StageWindow {

// The stage's own window, made on first use.
GtkWindow* stage();

// Puts the view, which must lie in no window, on the stage at the view's
// size (1280 x 800 when it has none). It has that size on return.
void put(WebKitWebView* view);

// Takes the view off the stage, if it is there.
void take(WebKitWebView* view);

// Whether the view lies on the stage.
bool holds(WebKitWebView* view);

// Where the stage cannot be a window unseen, the overlay (in a shown window
// of the application) carries it from now on, until `release` with the same
// overlay; the stage then stands in for that window under its `name`.
// Elsewhere these do nothing.
void carryIn(GtkOverlay* overlay, const char* name);
void release(GtkOverlay* overlay);

} // namespace vesk::StageWindow
