#include "BrowserUI/Widgets/ViewParts.h"

#include "BrowserUI/Widgets/Palette.h"
#include "BrowserUI/Widgets/ScrollArea.h"

#include <gtkmm/scrollbar.h>

namespace vesk::ui {

Gtk::Label* makeLabel(const std::string& text, std::initializer_list<const char*> classes) {
    auto* label = Gtk::make_managed<Gtk::Label>();
    label->set_use_markup(false);
    label->set_use_underline(false);
    label->set_text(text);
    label->set_xalign(0);
    for (const char* name : classes) label->add_css_class(name);
    return label;
}

Gtk::Box* makeRule(Gtk::Orientation orientation, const char* colour) {
    auto* rule = Gtk::make_managed<Gtk::Box>();
    rule->add_css_class("rule");
    rule->add_css_class(std::string("on-") + colour);
    if (orientation == Gtk::Orientation::HORIZONTAL) {
        rule->set_size_request(-1, 1);
        rule->set_hexpand(true);
    } else {
        rule->set_size_request(1, -1);
        rule->set_vexpand(true);
    }
    return rule;
}

Gtk::Button* makePlainButton(const std::string& text, std::initializer_list<const char*> classes) {
    auto* button = Gtk::make_managed<Gtk::Button>();
    auto* label = makeLabel(text, classes);
    button->set_child(*label);
    button->add_css_class("plain");
    button->set_focus_on_click(false);
    // Read by what it shows, once: by the button, not again by its label.
    if (!text.empty()) setAccessibleLabel(*button, text);
    hideFromAccessibility(*label);
    return button;
}

Gtk::ScrolledWindow* makeScroller(Gtk::Widget& child) {
    auto* scroller = makeScrollArea();
    scroller->set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    scroller->set_vexpand(true);
    scroller->set_child(child);
    readAsScrollArea(*scroller);
    return scroller;
}

void readAsScrollArea(Gtk::ScrolledWindow& scroller) {
    // The area itself is no stop for the keyboard: what it holds is.
    scroller.set_focusable(false);
    readAsLayout(scroller);
    Gtk::Widget* bar = scroller.get_vscrollbar();
    readAsLayout(*bar);
    // The bar's own range, inside it, says nothing the bar does not.
    for (auto* inner = bar->get_first_child(); inner; inner = inner->get_next_sibling()) readAsLayout(*inner);
    // GTK keeps a horizontal bar that never scrolls among the area's parts.
    hideFromAccessibility(*scroller.get_hscrollbar());
}

void namePopover(Gtk::Popover& popover, const std::string& name) {
    setAccessibleLabel(popover, name);
    Gtk::Widget* child = popover.get_child();
    if (!child) return;
    if (Gtk::Widget* around = child->get_parent(); around && around != &popover) readAsLayout(*around);
    if (auto* scroller = dynamic_cast<Gtk::ScrolledWindow*>(child)) readAsScrollArea(*scroller);
}

void describe(Gtk::Widget& widget, const std::string& label, const std::string& help) {
    if (!label.empty()) setAccessibleLabel(widget, label);
    if (!help.empty()) {
        widget.set_tooltip_text(help);
        gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION,
                                       help.c_str(), -1);
    }
}

void setAccessibleLabel(Gtk::Widget& widget, const std::string& label) {
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL, label.c_str(), -1);
}

void readAsLayout(Gtk::Widget& widget) {
    setAccessibleLabel(widget, "");
}

void readAsOne(Gtk::Widget& widget, const std::string& label) {
    setAccessibleLabel(widget, label);
    for (auto* child = widget.get_first_child(); child; child = child->get_next_sibling()) hideFromAccessibility(*child);
}

void hideFromAccessibility(Gtk::Widget& widget) {
    gtk_accessible_update_state(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
}

void setAccessibleSelected(Gtk::Widget& widget, bool selected) {
    gtk_accessible_update_state(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_STATE_SELECTED,
                                selected ? TRUE : FALSE, -1);
}

void setColour(Gtk::Widget& widget, const char* colour) {
    for (const auto& entry : palette) widget.remove_css_class(entry.name);
    widget.add_css_class(colour);
}

} // namespace vesk::ui
