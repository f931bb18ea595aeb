#pragma once

// A row of the settings: a title over a detail at the leading edge, a control
// at the trailing edge, and a rule under it all.

#include <gtkmm/box.h>
#include <gtkmm/label.h>

#include <string>

namespace vesk::ui {

class SettingsRow : public Gtk::Box {
public:
    // Both texts are shown as given (already localised, or a path).
    SettingsRow(const std::string& title, const std::string& detail, Gtk::Widget& control);

    void setDetail(const std::string& detail) { detail_->set_text(detail); }
    std::string detail() const { return detail_->get_text(); }

private:
    Gtk::Label* detail_;
};

} // namespace vesk::ui
