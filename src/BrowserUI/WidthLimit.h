#pragma once

// A widget of one child that measures the child at most `limit` wide and
// lays it out at most that wide at its leading edge, as a column of text
// that should not run across a wide window. GTK 4.8 has no clamp of its own.
// A child whose minimum is wider still gets its minimum.

#include <glibmm/extraclassinit.h>
#include <gtkmm/widget.h>

namespace vesk::ui {

class WidthLimitClass : public Glib::ExtraClassInit {
protected:
    WidthLimitClass();
};

class WidthLimit : public WidthLimitClass, public Gtk::Widget {
public:
    WidthLimit(Gtk::Widget& child, int limit);
    ~WidthLimit() override;
    WidthLimit(const WidthLimit&) = delete;
    WidthLimit& operator=(const WidthLimit&) = delete;

protected:
    Gtk::SizeRequestMode get_request_mode_vfunc() const override;
    void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural, int& minimumBaseline,
                       int& naturalBaseline) const override;
    void size_allocate_vfunc(int width, int height, int baseline) override;

private:
    // The width the child gets when `available` is offered.
    int childWidth(int available) const;

    Gtk::Widget& child_;
    int limit_;
};

} // namespace vesk::ui
