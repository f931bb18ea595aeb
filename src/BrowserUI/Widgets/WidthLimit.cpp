#include "BrowserUI/Widgets/WidthLimit.h"

#include <gtkmm/layoutmanager.h>

#include <algorithm>

namespace vesk::ui {

namespace {

// Lays out the box's one child. A layout manager rather than a widget of our
// own, so that the box stays a box: children are let go as a box lets them
// go, and screen readers pass over it as over any box.
class WidthLimitLayout : public Gtk::LayoutManager {
public:
    explicit WidthLimitLayout(int limit) : limit_(limit) {}

protected:
    Gtk::SizeRequestMode get_request_mode_vfunc(const Gtk::Widget&) const override {
        return Gtk::SizeRequestMode::HEIGHT_FOR_WIDTH;
    }

    void measure_vfunc(const Gtk::Widget& box, Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                       int& minimumBaseline, int& naturalBaseline) const override {
        minimum = natural = 0;
        minimumBaseline = naturalBaseline = -1;
        const Gtk::Widget* child = box.get_first_child();
        if (!child) return;
        int ignored = 0;
        if (orientation == Gtk::Orientation::HORIZONTAL) {
            child->measure(orientation, forSize, minimum, natural, ignored, ignored);
            natural = std::max(minimum, std::min(natural, limit_));
            return;
        }
        // Heights for the width the child is laid out at; an unknown width
        // is the widest it may be.
        child->measure(orientation, childWidth(*child, forSize < 0 ? limit_ : forSize), minimum, natural, ignored,
                       ignored);
    }

    void allocate_vfunc(const Gtk::Widget& box, int width, int height, int baseline) override {
        auto* child = const_cast<Gtk::Widget*>(box.get_first_child());
        if (!child) return;
        int wide = childWidth(*child, width);
        int x = box.get_direction() == Gtk::TextDirection::RTL ? width - wide : 0;
        child->size_allocate(Gtk::Allocation(x, 0, wide, height), baseline);
    }

private:
    // The width the child gets when `available` is offered.
    int childWidth(const Gtk::Widget& child, int available) const {
        int minimum = 0, natural = 0, ignored = 0;
        child.measure(Gtk::Orientation::HORIZONTAL, -1, minimum, natural, ignored, ignored);
        return std::max(minimum, std::min(available, limit_));
    }

    int limit_;
};

} // namespace

WidthLimit::WidthLimit(Gtk::Widget& child, int limit) {
    set_layout_manager(Glib::make_refptr_for_instance(new WidthLimitLayout(limit)));
    append(child);
}

} // namespace vesk::ui
