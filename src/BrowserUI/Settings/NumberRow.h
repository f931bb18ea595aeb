#pragma once

// A settings row whose control is a number field over one timing: the field
// shows the timing times `scale` in the person's locale, and a number typed
// there is stored, divided by `scale`, when the person presses Return or
// leaves the field. Text that is not a number changes nothing.

#include "BrowserUI/Settings/SettingsRow.h"

#include <gtkmm/entry.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vesk::ui {

// What the field shows for a stored value.
std::string shownNumber(double value, double scale);
// The value to store for what the person typed; none when it is not a number.
std::optional<double> committedNumber(std::string_view typed, double scale);

class NumberRow : public SettingsRow {
public:
    struct Binding {
        std::function<double()> get;
        std::function<void(double)> set;
    };

    NumberRow(const std::string& title, const std::string& detail, Binding value, const std::string& unit,
              double scale);

    Gtk::Entry& field() { return *field_; }
    // Shows the stored value again (after it changed elsewhere).
    void refresh();

private:
    NumberRow(const std::string& title, const std::string& detail, Gtk::Box* control, Binding value,
              const std::string& unit, double scale);
    void commit();

    Gtk::Entry* field_;
    Binding value_;
    double scale_;
};

} // namespace vesk::ui
