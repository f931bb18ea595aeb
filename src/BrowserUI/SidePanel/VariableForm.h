#pragma once

// The form in which one variable of a profile is typed: key, value and site.
// Saving hands the key upper-cased, the value and the site to `add`, then
// empties key and value and keeps the site for the next variable. Asked to
// save with a field empty, it does nothing.

#include "BrowserUI/Widgets/SecretField.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>

#include <functional>
#include <string>

namespace vesk::ui {

class VariableForm : public Gtk::Box {
public:
    // What is typed; kept by the panel so that a redraw keeps it.
    struct Typed {
        std::string name;
        std::string value;
        std::string site;
    };
    using Add = std::function<void(const std::string& name, const std::string& value, const std::string& site)>;

    VariableForm(Typed& typed, Add add);

    Gtk::Entry& keyField() { return key_; }
    SecretField& valueField() { return value_; }
    Gtk::Entry& siteField() { return site_; }
    Gtk::Button& saveButton() { return *save_; }
    void save();

private:
    void typedChanged();

    Typed& typed_;
    Add add_;
    Gtk::Entry key_;
    SecretField value_;
    Gtk::Entry site_;
    Gtk::Button* save_ = nullptr;
};

} // namespace vesk::ui
