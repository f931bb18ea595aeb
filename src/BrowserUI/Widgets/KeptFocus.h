#pragma once

// The keyboard focus of a view that takes its controls down and makes them
// anew on every change. The view names its controls; before it draws again
// it notes which named control holds the focus (and, in a text field, where
// the caret and the selection are), and after, the control of that name, or
// the first of the others it names that is there, takes the focus back. A
// text field takes it with its text as it was, not selected whole as a field
// that takes the focus selects it, so that typing goes on where it was.

#include <gtkmm/widget.h>

#include <optional>
#include <string>
#include <vector>

namespace vesk::ui {

// Names a control for KeptFocus.
void nameForFocus(Gtk::Widget& control, const std::string& name);

class KeptFocus {
public:
    // Before the view's controls go: notes the named control that holds the
    // focus inside `view`, if one does.
    void note(Gtk::Widget& view);
    // The control the focus was noted on, if it was inside the view.
    const std::optional<std::string>& noted() const { return noted_; }
    // The control that takes the focus after the next drawing, if the focus
    // is inside the view then (the first field of what an action opened).
    void moveTo(const std::string& name) { next_ = name; }
    // Once the view is drawn again, and only when the focus was inside it:
    // gives the focus to the control named by moveTo, else, unless the
    // focused control outlived the drawing, to the first control named in
    // `names` that is there and can take it. The noted caret and selection
    // go back to a text field of the noted name.
    void restore(Gtk::Widget& view, const std::vector<std::string>& names);

private:
    bool give(Gtk::Widget& view, const std::string& name, const std::string& noted);

    std::optional<std::string> noted_;
    std::optional<std::string> next_;
    int selectionStart_ = 0;
    int selectionEnd_ = 0;
};

} // namespace vesk::ui
