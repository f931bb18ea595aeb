#pragma once

// A scroll area that is never a stop of the keyboard itself. GTK 4.8's
// scrolled window puts itself in the focus chain when nothing inside it can
// take the focus, and then swallows Tab even when it may not take the focus
// itself: a list with no control in it would keep the keyboard.

#include <gtkmm/scrolledwindow.h>

namespace vesk::ui {

// A new scroll area, managed by whatever it is put in.
Gtk::ScrolledWindow* makeScrollArea();

} // namespace vesk::ui
