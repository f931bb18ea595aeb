#include "BrowserUI/SidePanel/VariableForm.h"

#include "BrowserUI/Presentation/ProfileRows.h"
#include "BrowserUI/Widgets/PanelWidgets.h"

namespace vesk::ui {

VariableForm::VariableForm(Typed& typed, Add add)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 6), typed_(typed), add_(std::move(add)) {
    set_margin_top(4);
    set_tooltip_text(
        localized("The value is stored in the keychain and typed, as ${KEY}, only on pages of that site."));
    auto* title = makeLabel(upperCased(localized("New variable")), {"faintText", "caption"});
    append(*title);

    titleField(key_, localized("Key"), localized("PASSWORD"));
    key_.set_text(typed_.name);
    value_.add_css_class("bare");
    value_.property_placeholder_text() = localized("stored in the keychain");
    describe(value_, localized("Value"));
    value_.set_text(typed_.value);
    titleField(site_, localized("Site"), localized("localhost:3000"));
    site_.set_text(typed_.site);
    append(*fieldRow(localized("key"), 44, key_));
    append(*fieldRow(localized("value"), 44, value_));
    append(*fieldRow(localized("site"), 44, site_));

    save_ = makePlainButton(localized("save"), {"violet"});
    save_->set_halign(Gtk::Align::END);
    save_->signal_clicked().connect(sigc::mem_fun(*this, &VariableForm::save));
    append(*save_);

    for (Gtk::Editable* field : {static_cast<Gtk::Editable*>(&key_), static_cast<Gtk::Editable*>(&value_),
                                 static_cast<Gtk::Editable*>(&site_)}) {
        field->signal_changed().connect(sigc::mem_fun(*this, &VariableForm::typedChanged));
    }
    key_.signal_activate().connect(sigc::mem_fun(*this, &VariableForm::save));
    onReturn(value_, [this] { save(); });
    site_.signal_activate().connect(sigc::mem_fun(*this, &VariableForm::save));
    typedChanged();
}

void VariableForm::typedChanged() {
    typed_ = {key_.get_text(), value_.secret(), site_.get_text()};
    bool can = canSaveVariable(typed_.name, typed_.value, typed_.site);
    save_->set_sensitive(can);
    setColour(*save_->get_child(), can ? "violet" : "faintText");
}

void VariableForm::save() {
    // A form that cannot be saved does nothing: the keyboard stays where it is.
    if (!canSaveVariable(typed_.name, typed_.value, typed_.site)) return;
    Typed sent = typed_;
    // Emptied before the store is called: the call may redraw the panel.
    typed_.name.clear();
    typed_.value.clear();
    add_(variableKey(sent.name), sent.value, sent.site);
}

} // namespace vesk::ui
