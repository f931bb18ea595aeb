#include "BrowserUI/Settings/NumberRow.h"

#include "BrowserUI/Widgets/PanelWidgets.h"
#include "Platform/LocaleNumber.h"

#include <gtkmm/eventcontrollerfocus.h>

namespace vesk::ui {

std::string shownNumber(double value, double scale) {
    return formatLocaleNumber(value * scale);
}

std::optional<double> committedNumber(std::string_view typed, double scale) {
    auto number = parseLocaleNumber(typed);
    if (!number) return std::nullopt;
    return *number / scale;
}

NumberRow::NumberRow(const std::string& title, const std::string& detail, Binding value, const std::string& unit,
                     double scale)
    : NumberRow(title, detail, Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 6), std::move(value), unit,
                scale) {}

NumberRow::NumberRow(const std::string& title, const std::string& detail, Gtk::Box* control, Binding value,
                     const std::string& unit, double scale)
    : SettingsRow(title, detail, *control), field_(Gtk::make_managed<Gtk::Entry>()), value_(std::move(value)),
      scale_(scale) {
    field_->add_css_class("field");
    field_->add_css_class("numberField");
    field_->set_alignment(1.0);
    field_->set_width_chars(6);
    field_->set_max_width_chars(6);
    field_->set_size_request(72, 28);
    describe(*field_, title);
    control->set_valign(Gtk::Align::CENTER);
    control->append(*field_);
    auto* units = makeLabel(unit, {"faintText"});
    units->set_wrap(false);
    units->set_size_request(20, -1);
    control->append(*units);

    field_->signal_activate().connect(sigc::mem_fun(*this, &NumberRow::commit));
    auto focus = Gtk::EventControllerFocus::create();
    focus->signal_leave().connect(sigc::mem_fun(*this, &NumberRow::commit));
    field_->add_controller(focus);
    refresh();
}

void NumberRow::refresh() {
    field_->set_text(shownNumber(value_.get(), scale_));
}

void NumberRow::commit() {
    if (auto number = committedNumber(field_->get_text().raw(), scale_)) value_.set(*number);
    // The stored value, clamped or kept, is what the field shows afterwards.
    refresh();
}

} // namespace vesk::ui
