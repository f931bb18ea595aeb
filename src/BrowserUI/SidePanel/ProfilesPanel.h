#pragma once

// The panel in which a person creates, chooses and deletes profiles, gives a
// profile its per-site variables and assigns saved credentials to it. Shown
// in the side panel and in the settings window; every change goes through
// the profile store, and the panel draws again when the store changes.

#include "BrowserCore/Profiles/BrowserProfile.h"
#include "BrowserUI/SidePanel/VariableForm.h"
#include "BrowserUI/Widgets/KeptFocus.h"
#include "BrowserUI/Widgets/PanelWidgets.h"
#include "Platform/Task.h"

#include <gtkmm/box.h>
#include <gtkmm/entry.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace vesk {

class BrowserSession;
class ProfileStore;

namespace ui {

class ProfilesPanel : public Gtk::Box {
public:
    ProfilesPanel(std::shared_ptr<BrowserSession> session, ProfileStore& profiles);

    // For tests: the field for a new profile's name and the last failure.
    Gtk::Entry& newProfileField() { return newName_; }
    std::optional<std::string> failure() const { return failure_; }
    // The open variable form of a profile, if shown.
    VariableForm* variableForm(const ProfileID& profile) const;
    // Runs what the panel's controls run; each redraws the panel soon.
    void createProfile();
    void openVariableForm(const ProfileID& profile);
    void assign(const Credential& credential, bool assigned, const BrowserProfile& profile);
    void confirmDeletion(const BrowserProfile& profile);

private:
    void draw();
    Gtk::Widget* headerRow(const std::string& title, const std::string& detail, bool inUse, const std::string& group,
                           std::function<void()> use);
    Gtk::Widget* profileBlock(const BrowserProfile& profile);
    void addCredentialRows(Gtk::Box& block, const BrowserProfile& profile);
    void addDeletionRow(Gtk::Box& block, const BrowserProfile& profile);
    // Starts a store change: when it ends, its error becomes the failure
    // text, success clears it and runs `then`, and the panel draws again.
    void act(const std::function<Task<void>()>& start, std::function<void()> then = {});
    static Task<void> createAndSelect(ProfileStore& profiles, std::string name);

    std::shared_ptr<BrowserSession> session_;
    ProfileStore& profiles_;
    std::set<ProfileID> expanded_;
    std::optional<ProfileID> deleting_;
    std::optional<std::string> failure_;
    // What each open variable form holds; its site is taken when it opens.
    std::map<ProfileID, VariableForm::Typed> typed_;
    std::map<ProfileID, VariableForm*> forms_;

    Gtk::Box list_{Gtk::Orientation::VERTICAL};
    Gtk::Box failureSlot_{Gtk::Orientation::VERTICAL};
    Gtk::Entry newName_;
    KeptFocus focus_;
    Liveness liveness_;
    LaterDraw later_{[this] { draw(); }};
};

} // namespace ui
} // namespace vesk
