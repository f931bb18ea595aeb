#pragma once

// Tab out of a page moves the keyboard one control, as everywhere else.
// When a page has no further control in the direction of a Tab, WebKit moves
// the window's focus to the next control itself and then hands the same key
// back to the window as one the page did not use, which moves it once more:
// Tab out of a page's last field skipped the control after the page.

#include <gtkmm/window.h>

namespace vesk::ui {

// Lets a Tab that a page hands back after moving the focus out of itself go
// no further.
void takeTabOutOfPagesOneStep(Gtk::Window& window);

} // namespace vesk::ui
