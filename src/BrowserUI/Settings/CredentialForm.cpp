#include "BrowserUI/Settings/CredentialForm.h"

#include "BrowserUI/Widgets/PanelWidgets.h"

namespace vesk::ui {

namespace {

void titleSecureField(SecretField& field, const std::string& title, const std::string& prompt) {
    field.add_css_class("bare");
    field.add_css_class("text");
    field.property_placeholder_text() = prompt;
    describe(field, title);
}

} // namespace

CredentialForm::CredentialForm(std::optional<Credential> credential, CredentialDraft& draft,
                               std::optional<std::string>& failure, std::function<void(const CredentialDraft&)> save,
                               std::function<void()> cancel)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 6), credential_(std::move(credential)), draft_(draft), failure_(failure),
      saveAction_(std::move(save)) {
    set_tooltip_text(localized("The values are stored in the keychain and typed only on these sites, as "
                               "${NAME.user}, ${NAME.password} and ${NAME.otp}."));
    bool hasOTP = credential_ && credential_->hasOTP;
    auto* title =
        makeLabel(upperCased(credential_ ? credential_->name : localized("New credential")), {"faintText", "caption"});
    append(*title);

    titleField(name_, localized("name"), localized("my_login"));
    titleField(sites_, localized("sites"), localized("example.com, login.example.com"));
    titleField(user_, localized("user"), "");
    titleSecureField(password_, localized("password"),
                     credential_ ? localized("blank keeps the current one") : localized("stored in the keychain"));
    titleSecureField(otpKey_, localized("2FA key"),
                     hasOTP ? localized("blank keeps the current one")
                            : localized("optional: base32 key or otpauth:// link"));
    name_.set_text(draft_.name);
    sites_.set_text(draft_.sites);
    user_.set_text(draft_.user);
    password_.set_text(draft_.password);
    otpKey_.set_text(draft_.otpKey);
    const std::pair<const char*, Gtk::Widget*> rows[] = {
        {"name", &name_}, {"sites", &sites_}, {"user", &user_}, {"password", &password_}, {"2FA key", &otpKey_}};
    for (const auto& [label, field] : rows)
        append(*fieldRow(localized(label), 64, *field));

    if (hasOTP) {
        removesOTP_ = makeCheckbox(localized("remove the 2FA key"));
        removesOTP_->set_active(draft_.removesOTP);
        removesOTP_->signal_toggled().connect(sigc::mem_fun(*this, &CredentialForm::draftChanged));
        append(*removesOTP_);
    }
    append(failureSlot_);
    showFailure();

    auto* actions = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 12);
    cancel_ = makePlainButton(localized("cancel"), {"secondaryText"});
    cancel_->signal_clicked().connect(std::move(cancel));
    save_ = makePlainButton(localized("save"), {"violet"});
    save_->signal_clicked().connect(sigc::mem_fun(*this, &CredentialForm::submit));
    actions->append(*cancel_);
    actions->append(*save_);
    append(*actions);

    for (Gtk::Editable* field : std::initializer_list<Gtk::Editable*>{&name_, &sites_, &user_, &password_, &otpKey_}) {
        field->signal_changed().connect(sigc::mem_fun(*this, &CredentialForm::draftChanged));
    }
    for (Gtk::Entry* field : {&name_, &sites_, &user_}) {
        field->signal_activate().connect(sigc::mem_fun(*this, &CredentialForm::submit));
    }
    onReturn(password_, [this] { submit(); });
    onReturn(otpKey_, [this] { submit(); });
    draftChanged();
}

void CredentialForm::draftChanged() {
    draft_.name = name_.get_text();
    draft_.sites = sites_.get_text();
    draft_.user = user_.get_text();
    draft_.password = password_.secret();
    draft_.otpKey = otpKey_.secret();
    draft_.removesOTP = removesOTP_ && removesOTP_->get_active();
    otpKey_.set_sensitive(!draft_.removesOTP);
    bool can = draft_.canSave(!credential_);
    save_->set_sensitive(can);
    setColour(*save_->get_child(), can ? "violet" : "faintText");
}

void CredentialForm::submit() {
    if (draft_.canSave(!credential_)) saveAction_(draft_);
}

void CredentialForm::showFailure() {
    clear(failureSlot_);
    if (failure_) failureSlot_.append(*makeFailureText(*failure_));
}

} // namespace vesk::ui
