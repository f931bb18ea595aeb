#pragma once

// The form in which one credential is typed, a new one or an existing one.
// It never shows a stored password or 2FA key: an edit starts with the
// stored user name only, and what is left blank keeps its stored value.

#include "BrowserCore/Profiles/BrowserProfile.h"
#include "BrowserUI/Presentation/CredentialDraft.h"
#include "BrowserUI/Widgets/SecretField.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/checkbutton.h>
#include <gtkmm/entry.h>

#include <functional>
#include <optional>
#include <string>

namespace vesk::ui {

class CredentialForm : public Gtk::Box {
public:
    // `save` hands the draft to be stored; a refused save's text comes back
    // in `failure` (shown by showFailure). What is typed goes to `draft`;
    // both are kept by the panel so that a form made again in its place
    // shows them still.
    CredentialForm(std::optional<Credential> credential, CredentialDraft& draft, std::optional<std::string>& failure,
                   std::function<void(const CredentialDraft&)> save, std::function<void()> cancel);

    // For tests.
    Gtk::Entry& nameField() { return name_; }
    Gtk::Entry& sitesField() { return sites_; }
    Gtk::Entry& userField() { return user_; }
    SecretField& passwordField() { return password_; }
    SecretField& otpKeyField() { return otpKey_; }
    // Shown only when the edited credential has a 2FA key.
    Gtk::CheckButton* removeOTPToggle() const { return removesOTP_; }
    Gtk::Button& saveButton() { return *save_; }
    Gtk::Button& cancelButton() { return *cancel_; }
    std::optional<std::string> failure() const { return failure_; }
    void submit();
    // Shows the text in `failure`, or nothing when it is empty.
    void showFailure();

private:
    void draftChanged();

    std::optional<Credential> credential_;
    CredentialDraft& draft_;
    std::optional<std::string>& failure_;
    std::function<void(const CredentialDraft&)> saveAction_;

    Gtk::Entry name_;
    Gtk::Entry sites_;
    Gtk::Entry user_;
    SecretField password_;
    SecretField otpKey_;
    Gtk::CheckButton* removesOTP_ = nullptr;
    Gtk::Box failureSlot_{Gtk::Orientation::VERTICAL};
    Gtk::Button* save_ = nullptr;
    Gtk::Button* cancel_ = nullptr;
};

} // namespace vesk::ui
