// Tab and Shift+Tab go round every control of a window, with real keys:
// no control keeps the keyboard, and each round comes back where it began.

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserMCP/BrowserSettings.h"
#include "BrowserUI/PanelHarness.h"
#include "BrowserUI/RealKeys.h"
#include "BrowserUI/Settings/CredentialsPanel.h"
#include "BrowserUI/Settings/NumberRow.h"
#include "BrowserUI/Settings/SettingsView.h"
#include "BrowserUI/Settings/SettingsWindow.h"
#include "BrowserUI/SidePanel/ProfilesPanel.h"
#include "BrowserUI/SidePanel/SidePanelView.h"
#include "BrowserUI/WindowHarness.h"
#include "Support/ProfileDoubles.h"

#include <algorithm>

using namespace vesk;
using namespace vesk::test;

namespace {

std::string nameOf(GtkWidget* widget) {
    if (!widget) return "nothing";
    std::string name = G_OBJECT_TYPE_NAME(widget);
    for (GtkWidget* at = widget; at; at = gtk_widget_get_parent(at)) {
        if (GTK_IS_BUTTON(at) && GTK_IS_LABEL(gtk_button_get_child(GTK_BUTTON(at))))
            return name + " " + gtk_label_get_text(GTK_LABEL(gtk_button_get_child(GTK_BUTTON(at))));
    }
    return name;
}

// The controls the keyboard goes through from the one that has it, a key at
// a time, until it is back there; each key must move it.
std::vector<GtkWidget*> round(Gtk::Window& window, const char* modifier) {
    auto focus = [&] { return gtk_root_get_focus(GTK_ROOT(window.gobj())); };
    std::vector<GtkWidget*> went{focus()};
    for (int keys = 0; keys < 40; ++keys) {
        GtkWidget* before = focus();
        RealInput::get()->key("Tab", modifier);
        if (!spinUntil([&] { return focus() != before; }, seconds(3))) {
            ADD_FAILURE() << "the keyboard stays on " << nameOf(before);
            return went;
        }
        if (focus() == went.front()) return went;
        went.push_back(focus());
    }
    ADD_FAILURE() << "the keyboard does not come back to " << nameOf(went.front());
    return went;
}

// Tab goes round through `reached`; Shift+Tab goes the same way back.
void expectRoundsThrough(Gtk::Window& window, Gtk::Widget& start, Gtk::Widget& reached) {
    RealInput::get()->focus(GTK_WIDGET(window.gobj()));
    start.grab_focus();
    ASSERT_TRUE(spinUntil([&] { return holdsFocus(start); }));
    auto forth = round(window, nullptr);
    auto back = round(window, "Shift_L");
    std::string names;
    for (GtkWidget* widget : forth) names += nameOf(widget) + "; ";
    EXPECT_TRUE(std::any_of(forth.begin(), forth.end(), [&](GtkWidget* widget) {
        return widget == reached.gobj() || gtk_widget_is_ancestor(widget, reached.gobj());
    })) << names;
    std::reverse(back.begin() + 1, back.end());
    EXPECT_EQ(back, forth) << names;
}

} // namespace

TEST(TabRound, GoesRoundTheSidePanelAndEachSettingsSection) {
    ON_PRIVATE_DISPLAY();
    PanelHarness panels;
    WebsiteData data(panels.folder / "data", panels.folder / "cache");
    ProfileStore profiles(panels.folder, std::make_unique<MemorySecretStore>(), data);
    WindowHarness harness(&profiles);
    for (const char* tool : {"navigate", "snapshot", "click"})
        harness.activity.finish(harness.activity.begin(tool, "", Clock::now()),
                                AgentActivity::Entry::Outcome::succeeded(), Clock::now());

    // The log with its calls; the profiles tab when only "temporary" exists.
    harness.view().panel.set(ui::SidePanel::activity);
    ui::SidePanelView& side = *harness.view().sidePanel();
    waitUntilDrawn(side);
    expectRoundsThrough(*harness.window, side.tabButton(ui::SidePanel::activity), side.pauseButton());
    harness.view().panel.set(ui::SidePanel::profiles);
    auto& profilesTab = dynamic_cast<ui::ProfilesPanel&>(*side.content());
    waitUntilDrawn(side);
    expectRoundsThrough(*harness.window, side.tabButton(ui::SidePanel::profiles), profilesTab.newProfileField());

    // Each section of the settings, "credentials" with no credential.
    UserDefaults defaults(panels.folder / "config");
    BrowserSettings settings(defaults);
    openSettingsWindow(harness.session, harness.flows, profiles, settings);
    auto* view = dynamic_cast<SettingsView*>(settingsWindow()->get_child()->get_first_child());
    for (SettingsSection section : allSettingsSections) {
        view->showSection(section);
        waitUntilDrawn(*view);
        // The last control of the section.
        Gtk::Widget* reached = view->numberRows().empty() ? view->sectionPanel() : &view->numberRows().back()->field();
        if (auto* credentials = dynamic_cast<ui::CredentialsPanel*>(reached)) reached = &credentials->addButton();
        if (auto* profilesSection = dynamic_cast<ui::ProfilesPanel*>(reached)) reached = &profilesSection->newProfileField();
        SCOPED_TRACE(title(section));
        expectRoundsThrough(*settingsWindow(), view->sectionButton(section), *reached);
    }
}
