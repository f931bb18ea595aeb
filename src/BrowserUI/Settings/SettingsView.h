#pragma once

// The content of the settings window: a sidebar of sections and the section
// shown beside it. The timing rows read and write the settings; the profiles
// and credentials sections are made afresh each time they are shown.

#include "BrowserUI/Settings/SettingsSection.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/filechoosernative.h>

#include <memory>
#include <vector>

namespace vesk {

class BrowserSession;
class BrowserSettings;
class FlowStore;
class ProfileStore;

namespace ui {
class NumberRow;
class SettingsRow;
} // namespace ui

class SettingsView : public Gtk::Box {
public:
    SettingsView(std::shared_ptr<BrowserSession> session, FlowStore& flows, ProfileStore& profiles,
                 BrowserSettings& settings);

    SettingsSection section() const { return section_; }
    void showSection(SettingsSection section);

    // The sidebar's buttons, in the order of the sections, and "reset timings".
    Gtk::Button& sectionButton(SettingsSection section);
    Gtk::Button& resetButton() { return *reset_; }
    // The timing rows of the section shown, top to bottom.
    const std::vector<ui::NumberRow*>& numberRows() const { return numberRows_; }
    // The "folder" row of the flows section, while shown.
    ui::SettingsRow* folderRow() const { return folderRow_; }
    // The profiles or credentials panel of the section shown, if it is one of those.
    Gtk::Widget* sectionPanel() const { return sectionPanel_; }

private:
    Gtk::Box* makeSidebar();
    void fillSection();
    void timingsChanged();
    Gtk::Widget* makeFolderRow();
    void directoryChanged();

    std::shared_ptr<BrowserSession> session_;
    FlowStore& flows_;
    ProfileStore& profiles_;
    BrowserSettings& settings_;
    SettingsSection section_ = SettingsSection::agent;

    std::vector<Gtk::Button*> sectionButtons_;
    Gtk::Button* reset_ = nullptr;
    Gtk::Box detail_{Gtk::Orientation::VERTICAL};
    std::vector<ui::NumberRow*> numberRows_;
    ui::SettingsRow* folderRow_ = nullptr;
    Gtk::Widget* sectionPanel_ = nullptr;
    Glib::RefPtr<Gtk::FileChooserNative> folderChooser_;
};

} // namespace vesk
