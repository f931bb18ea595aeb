#include "BrowserUI/WidthLimit.h"

#include <gtk/gtk.h>

#include <algorithm>

namespace vesk::ui {

namespace {

// A layout container, as a box is: screen readers pass over it, and do not
// read it by its type's name.
void classInit(void* klass, void*) {
    gtk_widget_class_set_accessible_role(GTK_WIDGET_CLASS(klass), GTK_ACCESSIBLE_ROLE_GROUP);
}

} // namespace

WidthLimitClass::WidthLimitClass() : Glib::ExtraClassInit(classInit) {}

WidthLimit::WidthLimit(Gtk::Widget& child, int limit)
    : Glib::ObjectBase("VeskWidthLimit"), child_(child), limit_(limit) {
    child_.set_parent(*this);
}

WidthLimit::~WidthLimit() {
    child_.unparent();
}

Gtk::SizeRequestMode WidthLimit::get_request_mode_vfunc() const {
    return Gtk::SizeRequestMode::HEIGHT_FOR_WIDTH;
}

int WidthLimit::childWidth(int available) const {
    int minimum = 0, natural = 0, ignored = 0;
    child_.measure(Gtk::Orientation::HORIZONTAL, -1, minimum, natural, ignored, ignored);
    return std::max(minimum, std::min(available, limit_));
}

void WidthLimit::measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                               int& minimumBaseline, int& naturalBaseline) const {
    minimumBaseline = naturalBaseline = -1;
    int ignored = 0;
    if (orientation == Gtk::Orientation::HORIZONTAL) {
        child_.measure(orientation, forSize, minimum, natural, ignored, ignored);
        natural = std::max(minimum, std::min(natural, limit_));
        return;
    }
    // Heights for the width the child is laid out at, which an unknown
    // width makes the widest it may be.
    int width = childWidth(forSize < 0 ? limit_ : forSize);
    child_.measure(orientation, width, minimum, natural, ignored, ignored);
}

void WidthLimit::size_allocate_vfunc(int width, int height, int baseline) {
    int wide = childWidth(width);
    int x = get_direction() == Gtk::TextDirection::RTL ? width - wide : 0;
    child_.size_allocate(Gtk::Allocation(x, 0, wide, height), baseline);
}

} // namespace vesk::ui
