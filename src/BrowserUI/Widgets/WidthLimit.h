#pragma once

// A box of one child that measures the child at most `limit` wide and lays
// it out at most that wide at its leading edge, as a column of text that
// should not run across a wide window. GTK 4.8 has no clamp of its own. A
// child whose minimum is wider still gets its minimum.

#include <gtkmm/box.h>

namespace vesk::ui {

class WidthLimit : public Gtk::Box {
public:
    WidthLimit(Gtk::Widget& child, int limit);
};

} // namespace vesk::ui
