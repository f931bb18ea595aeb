#pragma once

// GTK's text fields open an emoji chooser on Ctrl+period and Ctrl+semicolon,
// which then holds the keyboard; Ctrl+period is the window's pause. No field
// of the program takes emoji: addresses, names, numbers and secrets.

#include <gtkmm/window.h>

namespace vesk::ui {

// Turns the emoji chooser off in every text field of the window, each as it
// takes the focus, which its keys and its context menu need first.
void leaveOutEmojiChooser(Gtk::Window& window);

} // namespace vesk::ui
