#pragma once

// Small building blocks shared by the views: labels of plain text in the
// palette's type, 1-pixel rules, plain buttons, and the token by which a
// view's asynchronous work learns that the view is gone.

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/popover.h>
#include <gtkmm/scrolledwindow.h>

#include <initializer_list>
#include <memory>
#include <string>

namespace vesk::ui {

// A label showing `text` as it is: no markup, no mnemonic.
Gtk::Label* makeLabel(const std::string& text, std::initializer_list<const char*> classes);

// A rule 1 pixel thick, filled with a palette colour ("edge", "separator").
Gtk::Box* makeRule(Gtk::Orientation orientation, const char* colour);

// A button without chrome whose label is plain text, which a screen reader
// reads as the button's name.
Gtk::Button* makePlainButton(const std::string& text, std::initializer_list<const char*> classes);

// A vertical scroll view of `child`, as tall as it is given, whose one
// scroll bar a screen reader reads by its role alone. Not a stop of the
// keyboard of its own.
Gtk::ScrolledWindow* makeScroller(Gtk::Widget& child);

// A scroll area read and reached as those above are, one that GTK made
// inside a widget of its own included (a menu's): read by its role alone,
// its one scroll bar too, and no stop of the keyboard.
void readAsScrollArea(Gtk::ScrolledWindow& scroller);

// Names a popover for a screen reader. The part GTK keeps around what it
// holds says nothing; a menu's scroll area is read as ours are.
void namePopover(Gtk::Popover& popover, const std::string& name);

// Sets what a screen reader reads for the widget (an empty label keeps the
// widget's own) and its help text, shown as its tooltip.
void describe(Gtk::Widget& widget, const std::string& label, const std::string& help = {});

// What a screen reader reads for the widget.
void setAccessibleLabel(Gtk::Widget& widget, const std::string& label);

// A container that says nothing of its own: a screen reader passes over it
// as over a box, rather than reading it by its type's name.
void readAsLayout(Gtk::Widget& widget);

// Read by a screen reader as one element named `label`: what lies inside is
// not read again on its own. Call again after showing or hiding a child,
// which GTK makes readable again.
void readAsOne(Gtk::Widget& widget, const std::string& label);

// Keeps the widget out of what a screen reader reads (decoration, or a
// drawing of what another widget already says).
void hideFromAccessibility(Gtk::Widget& widget);

// Marks a tab as the selected one, or not, for a screen reader.
void setAccessibleSelected(Gtk::Widget& widget, bool selected);

// Replaces every palette colour class of the widget by `colour`.
void setColour(Gtk::Widget& widget, const char* colour);

// Held by a view; its asynchronous work keeps a weak copy and does nothing
// once the view is gone.
class Liveness {
public:
    std::weak_ptr<void> token() const { return token_; }

private:
    std::shared_ptr<int> token_ = std::make_shared<int>(0);
};

} // namespace vesk::ui
