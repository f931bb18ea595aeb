#pragma once

// A stage: a window that keeps a web view laid out, drawing and running as a
// visible page does (timers at full speed, animation frames, a viewport of
// its size, snapshots) while no window of the application shows it, without
// showing anything to the person.
//
// On X11 it is a borderless window that the window manager does not manage
// (no taskbar entry, no focus taken), mapped far outside every screen. Where
// windows cannot be placed (Wayland) it is shown minimized, the nearest the
// platform allows.

#include "Platform/GRef.h"

#include <gtk/gtk.h>
#include <webkit/webkit.h>

namespace vesk::StageWindow {

// Puts the view, which must lie in no window, on a new stage of the view's
// size (1280 x 800 when it has none) and shows the stage.
GRef<GtkWindow> make(WebKitWebView* view);

// Where a stage lies on X11, outside every screen.
constexpr int offscreenX = -30000;
constexpr int offscreenY = -30000;

} // namespace vesk::StageWindow
