#pragma once

// The form in which one variable of a profile is typed: key, value and site.
// Saving hands the key upper-cased, the value and the site to `add`, then
// empties key and value and keeps the site for the next variable. Asked to
// save with a field empty, it says which, until they are all typed.

#include "BrowserUI/Widgets/SecretField.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>

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
        bool saveAsked = false;  // a save was asked for with a field empty
    };
    using Add = std::function<void(const std::string& name, const std::string& value, const std::string& site)>;

    VariableForm(Typed& typed, Add add);

    Gtk::Entry& keyField() { return key_; }
    SecretField& valueField() { return value_; }
    Gtk::Entry& siteField() { return site_; }
    Gtk::Button& saveButton() { return *save_; }
    // What the form says is missing; empty when it says nothing.
    std::string missingText() const { return missing_->get_visible() ? std::string(missing_->get_text()) : ""; }
    void save();

private:
    void typedChanged();
    void showMissing();

    Typed& typed_;
    Add add_;
    Gtk::Entry key_;
    SecretField value_;
    Gtk::Entry site_;
    Gtk::Button* save_ = nullptr;
    Gtk::Label* missing_ = nullptr;
};

} // namespace vesk::ui
