// The settings window with the real views over real settings in a key file,
// a flow store and a profile store in a temporary folder.

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserMCP/BrowserSettings.h"
#include "BrowserUI/PanelHarness.h"
#include "BrowserUI/Settings/CredentialsPanel.h"
#include "BrowserUI/Settings/NumberRow.h"
#include "BrowserUI/Settings/SettingsRow.h"
#include "BrowserUI/Settings/SettingsView.h"
#include "BrowserUI/Settings/SettingsWindow.h"
#include "Platform/Keychain.h"

#include <gtkmm/window.h>

using namespace vesk;
using namespace vesk::test;

TEST(SettingsWindow, OneWindowWhoseRowsChangeTheSettings) {
    PanelHarness harness;
    UserDefaults defaults(harness.folder / "config");
    BrowserSettings settings(defaults);
    FlowStore flows(harness.folder / "Flows", harness.folder / "Flows");
    WebsiteData data(harness.folder / "data", harness.folder / "cache");
    ProfileStore profiles(harness.folder, std::make_unique<Keychain>("VeskSettingsTests"), data);
    auto session = PanelHarness::session();

    openSettingsWindow(session, flows, profiles, settings);
    Gtk::Window* window = settingsWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(spinUntil([&] { return window->get_mapped(); }));
    auto* view = dynamic_cast<SettingsView*>(window->get_child()->get_first_child());
    ASSERT_NE(view, nullptr);
    PanelHarness::picture(*window, "settings-agent");
    EXPECT_FALSE(view->resetButton().get_sensitive());

    click(view->sectionButton(SettingsSection::page));
    Gtk::Entry& quiet = view->numberRows().at(0)->field();
    EXPECT_EQ(quiet.get_text(), "300");
    quiet.set_text("250");
    pressReturn(quiet);
    EXPECT_DOUBLE_EQ(settings.timings().settleQuiet, 0.25);
    EXPECT_EQ(quiet.get_text(), "250");
    EXPECT_TRUE(view->resetButton().get_sensitive());
    PanelHarness::picture(*window, "settings-page");
    click(view->resetButton());
    EXPECT_EQ(settings.timings(), BrowserSettings::Timings());
    EXPECT_EQ(quiet.get_text(), "300");
    EXPECT_FALSE(view->resetButton().get_sensitive());

    click(view->sectionButton(SettingsSection::flows));
    ASSERT_NE(view->folderRow(), nullptr);
    flows.useDirectory(harness.folder / "Chosen");
    EXPECT_EQ(view->folderRow()->detail(), (harness.folder / "Chosen").string());

    // The credentials panel is made afresh on each switch: an open form is gone.
    click(view->sectionButton(SettingsSection::credentials));
    auto* credentials = dynamic_cast<ui::CredentialsPanel*>(view->sectionPanel());
    ASSERT_NE(credentials, nullptr);
    click(credentials->addButton());
    ASSERT_TRUE(spinUntil([&] { return credentials->form() != nullptr; }));
    PanelHarness::picture(*window, "settings-credentials");
    click(view->sectionButton(SettingsSection::agent));
    click(view->sectionButton(SettingsSection::credentials));
    credentials = dynamic_cast<ui::CredentialsPanel*>(view->sectionPanel());
    EXPECT_EQ(credentials->form(), nullptr);

    // Closing hides the window; a second open shows the same one, on the same section.
    window->close();
    ASSERT_TRUE(spinUntil([&] { return !window->get_visible(); }));
    openSettingsWindow(session, flows, profiles, settings);
    EXPECT_EQ(settingsWindow(), window);
    EXPECT_TRUE(window->get_visible());
    EXPECT_EQ(view->section(), SettingsSection::credentials);
}
