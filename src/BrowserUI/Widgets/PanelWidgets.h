#pragma once

// The small pieces the panels and the settings are built of, beside the
// shared view parts. Every text that a person or a page chose goes in as
// plain text: no markup, no mnemonics.

#include "BrowserUI/Presentation/Formatters.h"
#include "BrowserUI/Presentation/Localized.h"
#include "BrowserUI/Widgets/Palette.h"
#include "BrowserUI/Widgets/ViewParts.h"
#include "Platform/Task.h"

#include <gtkmm/box.h>
#include <gtkmm/checkbutton.h>
#include <gtkmm/entry.h>
#include <gtkmm/filechoosernative.h>
#include <gtkmm/label.h>
#include <gtkmm/widget.h>
#include <gtkmm/windowcontrols.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vesk::ui {

// Upper case, as the small section titles are drawn.
std::string upperCased(std::string_view text);

// The selected state a screen reader reports (the shown section).
void setSelected(Gtk::Widget& widget, bool selected);

// Space on the four sides of a widget, in points.
void pad(Gtk::Widget& widget, int leading, int trailing, int top, int bottom);

// Removes every child of `box`.
void clear(Gtk::Box& box);

// The text of a failure a panel or form shows: red, wrapping.
Gtk::Label* makeFailureText(const std::string& text);

// A checkbox labelled `text`, which a screen reader reads once, by its name.
Gtk::CheckButton* makeCheckbox(const std::string& text);

// Runs `call`: its error's text becomes `failure`, and success clears it.
void noteFailure(std::optional<std::string>& failure, const std::function<void()>& call);

// Starts the task `start` makes (a store change, which may wait for another
// process). When it ends, its error's text becomes `failure` (success clears
// it) and `done` runs; nothing is touched when `alive` has expired by then,
// the view being gone.
void noteFailureOf(std::weak_ptr<void> alive, std::optional<std::string>& failure,
                   const std::function<Task<void>()>& start, std::function<void()> done);

// A labelled field of a form: the label at the leading edge, `labelWidth`
// wide and hidden from screen readers, then the field, on a raised rounded
// rectangle 28 points high. The field is titled with `title` for screen
// readers and shows `prompt` while empty.
Gtk::Box* fieldRow(const std::string& label, int labelWidth, Gtk::Widget& field);
void titleField(Gtk::Entry& field, const std::string& title, const std::string& prompt);

// Runs `action` when the person presses Return in the field (a password
// field included, which gtkmm gives no activate signal).
void onReturn(Gtk::Widget& field, std::function<void()> action);

// Shows the system's chooser of one folder over the window of `over`; when
// the person picks one, `picked` gets its path. A cancelled or failed choice
// does nothing, and so does an answer that comes after `over` is gone. The
// chooser is kept in `holder`, which should live as long as `over`.
void chooseFolder(Gtk::Widget& over, const std::string& title, Glib::RefPtr<Gtk::FileChooserNative>& holder,
                  std::function<void(const std::string&)> picked);

// GTK's window buttons take no keyboard focus: these do, as they come, so
// that the window closes by keys too.
void reachByKeys(Gtk::WindowControls& controls);

// Draws a view again from the main loop, once for any number of requests in
// a row: a view is never rebuilt inside one of its own signal handlers, and
// a store change that announces several fields draws once.
class LaterDraw : public sigc::trackable {
public:
    explicit LaterDraw(std::function<void()> draw) : draw_(std::move(draw)) {}
    ~LaterDraw() { pending_.disconnect(); }
    LaterDraw(const LaterDraw&) = delete;
    LaterDraw& operator=(const LaterDraw&) = delete;

    void request();

private:
    std::function<void()> draw_;
    sigc::connection pending_;
};

} // namespace vesk::ui
