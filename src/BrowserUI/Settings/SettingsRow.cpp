#include "BrowserUI/Settings/SettingsRow.h"

#include "BrowserUI/Widgets/PanelWidgets.h"

namespace vesk::ui {

SettingsRow::SettingsRow(const std::string& title, const std::string& detail, Gtk::Widget& control)
    : Gtk::Box(Gtk::Orientation::VERTICAL) {
    auto* line = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 24);
    pad(*line, 28, 28, 14, 14);
    auto* words = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 4);
    words->set_hexpand(true);
    words->append(*makeLabel(title, {"text"}));
    detail_ = makeLabel(detail, {"secondaryText"});
    detail_->set_wrap(true);
    words->append(*detail_);
    line->append(*words);
    control.set_valign(Gtk::Align::START);
    line->append(control);
    append(*line);
    append(*makeRule(Gtk::Orientation::HORIZONTAL, "separator"));
}

} // namespace vesk::ui
