#include "BrowserUI/Settings/CredentialsPanel.h"

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserUI/Settings/CredentialForm.h"

#include <gtkmm/checkbutton.h>
#include <gtkmm/scrolledwindow.h>

namespace vesk::ui {

namespace {

Gtk::Widget* flexibleSpace() {
    auto* space = Gtk::make_managed<Gtk::Box>();
    space->set_hexpand(true);
    return space;
}

Task<void> awaited(Task<Credential> saving) { co_await saving; }

// The names by which the panel's controls keep the keyboard focus across its
// redraws: a row's controls by the credential's id, the open form's by what
// they hold.
std::string rowControl(const ProfileID& id, const char* control) {
    return "credential:" + id + "/" + control;
}

} // namespace

CredentialsPanel::CredentialsPanel(ProfileStore& profiles) : Gtk::Box(Gtk::Orientation::VERTICAL), profiles_(profiles) {
    add_css_class("panel");
    append(*makeScroller(list_));
    append(failureSlot_);
    append(*makeRule(Gtk::Orientation::HORIZONTAL, "separator"));
    add_ = makePlainButton(localized("+ credential"), {"violet"});
    add_->set_halign(Gtk::Align::START);
    add_->set_size_request(-1, 32);
    pad(*add_, 14, 14, 0, 0);
    add_->signal_clicked().connect([this] { openForm(std::nullopt); });
    nameForFocus(*add_, "add");
    append(*add_);
    profiles_.credentials.changed().connect(sigc::mem_fun(later_, &LaterDraw::request));
    draw();
}

void CredentialsPanel::act(const std::function<Task<void>()>& start) {
    noteFailureOf(liveness_.token(), failure_, start, [this] { later_.request(); });
}

void CredentialsPanel::draw() {
    focus_.note(*this);
    clear(list_);
    form_ = nullptr;
    const auto& credentials = *profiles_.credentials;
    if (credentials.empty() && !editing_) {
        auto* note = makeLabel(localized("no credentials"), {"faintText"});
        pad(*note, 14, 14, 10, 10);
        list_.append(*note);
    }
    for (const Credential& credential : credentials) {
        Gtk::Widget* shown =
            editing_ == std::optional<ProfileID>(credential.id) ? makeForm(credential) : row(credential);
        pad(*shown, 14, 14, 10, 10);
        list_.append(*shown);
        list_.append(*makeRule(Gtk::Orientation::HORIZONTAL, "separator"));
    }
    if (editing_ && !editing_->has_value()) {
        Gtk::Widget* made = makeForm(std::nullopt);
        pad(*made, 14, 14, 10, 10);
        list_.append(*made);
    }
    bool newFormOpen = editing_ && !editing_->has_value();
    add_->set_sensitive(!newFormOpen);
    setColour(*add_->get_child(), newFormOpen ? "faintText" : "violet");

    clear(failureSlot_);
    if (failure_) {
        auto* text = makeFailureText(*failure_);
        pad(*text, 14, 14, 0, 8);
        failureSlot_.append(*text);
    }
    // A control that went (a row's confirmation, a closed form) leaves the
    // focus on the button that opens a new form, which changes nothing.
    std::vector<std::string> names;
    if (focus_.noted()) names.push_back(*focus_.noted());
    names.push_back("add");
    focus_.restore(*this, names);
}

Gtk::Widget* CredentialsPanel::row(const Credential& credential) {
    auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 6);
    auto* top = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    auto* name = makeLabel(credential.name, {"text"});
    name->set_hexpand(true);
    name->set_ellipsize(Pango::EllipsizeMode::END);
    top->append(*name);
    auto* global = makeCheckbox(localized("global"));
    global->set_active(credential.global);
    global->set_tooltip_text(localized("Available in every saved profile, not only in the ones it is assigned to."));
    global->signal_toggled().connect([this, global, id = credential.id] { setGlobal(id, global->get_active()); });
    nameForFocus(*global, rowControl(credential.id, "global"));
    top->append(*global);
    box->append(*top);

    std::string sites;
    for (const auto& site : credential.sites)
        sites += (sites.empty() ? "" : ", ") + site;
    auto* siteText = makeLabel(sites, {"secondaryText"});
    siteText->set_wrap(true);
    siteText->set_lines(2);
    siteText->set_ellipsize(Pango::EllipsizeMode::MIDDLE);
    box->append(*siteText);
    auto* references = makeLabel(credentialReferences(credential), {"faintText"});
    references->set_selectable(true);
    // Selected with the pointer and copied from its menu; no stop for the keyboard.
    references->set_can_focus(false);
    references->set_focusable(false);
    references->set_wrap(true);
    references->set_wrap_mode(Pango::WrapMode::WORD_CHAR);
    box->append(*references);

    auto* actions = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 12);
    if (deleting_ == credential.id) {
        auto* warning = makeLabel(localized("its values are erased from the keychain"), {"red"});
        warning->set_wrap(true);
        actions->append(*warning);
        actions->append(*flexibleSpace());
        auto* confirm = makePlainButton(localized("delete"), {"red"});
        describe(*confirm, localized("Confirm: delete ") + credential.name);
        confirm->signal_clicked().connect([this, id = credential.id] { confirmDeletion(id); });
        nameForFocus(*confirm, rowControl(credential.id, "confirm"));
        actions->append(*confirm);
        auto* cancel = makePlainButton(localized("cancel"), {"secondaryText"});
        cancel->signal_clicked().connect([this, id = credential.id] {
            deleting_.reset();
            focus_.moveTo(rowControl(id, "delete"));
            later_.request();
        });
        nameForFocus(*cancel, rowControl(credential.id, "cancel"));
        actions->append(*cancel);
    } else {
        auto* edit = makePlainButton(localized("edit"), {"violet"});
        describe(*edit, localized("Edit ") + credential.name);
        edit->signal_clicked().connect([this, id = credential.id] { this->edit(id); });
        nameForFocus(*edit, rowControl(credential.id, "edit"));
        actions->append(*edit);
        auto* remove = makePlainButton(localized("delete credential"), {"faintText"});
        describe(*remove, localized("Delete credential ") + credential.name);
        remove->signal_clicked().connect([this, id = credential.id] { askToDelete(id); });
        nameForFocus(*remove, rowControl(credential.id, "delete"));
        actions->append(*remove);
    }
    box->append(*actions);
    return box;
}

void CredentialsPanel::openForm(const std::optional<Credential>& credential) {
    editing_ = credential ? std::optional<ProfileID>(credential->id) : std::optional<ProfileID>();
    draft_ = credential ? CredentialDraft::editing(*credential, profiles_.storedUser(credential->id)) : CredentialDraft();
    formFailure_.reset();
    // The form takes the keyboard on its first field.
    focus_.moveTo("form/name");
    later_.request();
}

void CredentialsPanel::closeForm() {
    // The keyboard goes back to the row of the credential that was edited.
    if (editing_ && editing_->has_value()) focus_.moveTo(rowControl(**editing_, "edit"));
    editing_.reset();
    // What was typed, a password among it, is not kept once the form is closed.
    draft_ = CredentialDraft();
    formFailure_.reset();
    later_.request();
}

Gtk::Widget* CredentialsPanel::makeForm(const std::optional<Credential>& credential) {
    // The form stays open with what was typed until the store has saved it;
    // a refused save's text shows in it.
    auto save = [this, credential](const CredentialDraft& typed) {
        auto start = [&] {
            if (credential) {
                return awaited(profiles_.updateCredential(credential->id, typed.name, typed.siteList(), typed.user,
                                                          typed.passwordUpdate(), typed.otpKeyUpdate()));
            }
            return awaited(profiles_.addCredential(typed.name, typed.siteList(), typed.user, typed.password,
                                                   typed.otpKey));
        };
        noteFailureOf(liveness_.token(), formFailure_, start, [this] {
            if (!formFailure_) closeForm();
            else if (form_) form_->showFailure();
        });
    };
    form_ = Gtk::make_managed<CredentialForm>(credential, draft_, formFailure_, save, [this] { closeForm(); });
    nameForFocus(form_->nameField(), "form/name");
    nameForFocus(form_->sitesField(), "form/sites");
    nameForFocus(form_->userField(), "form/user");
    nameForFocus(form_->passwordField(), "form/password");
    nameForFocus(form_->otpKeyField(), "form/otp");
    if (form_->removeOTPToggle()) nameForFocus(*form_->removeOTPToggle(), "form/remove otp");
    nameForFocus(form_->cancelButton(), "form/cancel");
    nameForFocus(form_->saveButton(), "form/save");
    return form_;
}

void CredentialsPanel::edit(const ProfileID& id) {
    for (const Credential& credential : *profiles_.credentials) {
        if (credential.id == id) openForm(credential);
    }
}

void CredentialsPanel::setGlobal(const ProfileID& id, bool global) {
    act([&] { return profiles_.setCredentialGlobal(id, global); });
}

void CredentialsPanel::askToDelete(const ProfileID& id) {
    deleting_ = id;
    // The question takes the focus on its harmless answer.
    focus_.moveTo(rowControl(id, "cancel"));
    later_.request();
}

void CredentialsPanel::confirmDeletion(const ProfileID& id) {
    deleting_.reset();
    // A keychain that keeps the values is reported here: the record is gone,
    // the values are not, and the person was told they would be.
    act([&] { return profiles_.deleteCredential(id); });
}

} // namespace vesk::ui
