#pragma once

// The panel in which a person lists, adds, edits and deletes the saved
// logins and marks a login as global. Every change goes through the profile
// store; at most one form is open at a time.

#include "BrowserCore/Profiles/BrowserProfile.h"
#include "BrowserUI/Presentation/CredentialDraft.h"
#include "BrowserUI/Widgets/KeptFocus.h"
#include "BrowserUI/Widgets/PanelWidgets.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>

#include <optional>
#include <string>

namespace vesk {

class ProfileStore;

namespace ui {

class CredentialForm;

class CredentialsPanel : public Gtk::Box {
public:
    explicit CredentialsPanel(ProfileStore& profiles);

    // For tests.
    Gtk::Button& addButton() { return *add_; }
    CredentialForm* form() const { return form_; }
    std::optional<std::string> failure() const { return failure_; }
    // What the row controls run; each draws the panel again soon.
    void edit(const ProfileID& id);
    void setGlobal(const ProfileID& id, bool global);
    void askToDelete(const ProfileID& id);
    void confirmDeletion(const ProfileID& id);

private:
    void draw();
    Gtk::Widget* row(const Credential& credential);
    Gtk::Widget* makeForm(const std::optional<Credential>& credential);
    // Opens the form of a credential (none: a new one), starting from its stored values.
    void openForm(const std::optional<Credential>& credential);
    void closeForm();
    // Starts a store change: when it ends, its error becomes the failure
    // text, success clears it, and the panel draws again.
    void act(const std::function<Task<void>()>& start);

    ProfileStore& profiles_;
    // None: no form; present but empty: the new credential's form; an id: that credential's.
    std::optional<std::optional<ProfileID>> editing_;
    std::optional<ProfileID> deleting_;
    std::optional<std::string> failure_;
    // What the open form holds, kept across the panel's redraws.
    CredentialDraft draft_;
    std::optional<std::string> formFailure_;

    Gtk::Box list_{Gtk::Orientation::VERTICAL};
    Gtk::Box failureSlot_{Gtk::Orientation::VERTICAL};
    Gtk::Button* add_ = nullptr;
    CredentialForm* form_ = nullptr;
    KeptFocus focus_;
    Liveness liveness_;
    LaterDraw later_{[this] { draw(); }};
};

} // namespace ui
} // namespace vesk
