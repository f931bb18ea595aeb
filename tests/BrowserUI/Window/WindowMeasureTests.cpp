// The measures of the window and of the settings window, read from the
// widgets as laid out: the side panel keeps its width on every tab whatever
// its texts, and the address field and the settings' forms stop at theirs.

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserMCP/BrowserSettings.h"
#include "BrowserUI/PanelHarness.h"
#include "BrowserUI/Settings/CredentialsPanel.h"
#include "BrowserUI/Settings/SettingsView.h"
#include "BrowserUI/Settings/SettingsWindow.h"
#include "BrowserUI/SidePanel/FlowRow.h"
#include "BrowserUI/SidePanel/FlowsPanel.h"
#include "BrowserUI/SidePanel/SidePanelView.h"
#include "BrowserUI/Window/StartView.h"
#include "BrowserUI/WindowHarness.h"
#include "Platform/Keychain.h"

using namespace vesk;
using namespace vesk::test;

namespace {

// The size of the font the widget is drawn in, as its style gives it.
double fontSize(Gtk::Widget& widget) {
    const PangoFontDescription* font = pango_context_get_font_description(widget.get_pango_context()->gobj());
    return pango_font_description_get_size(font) / double(PANGO_SCALE);
}

// The drawn label of the widget whose text starts with `start`, or null.
Gtk::Label* labelStarting(Gtk::Widget& widget, const std::string& start) {
    auto* label = dynamic_cast<Gtk::Label*>(&widget);
    if (label && label->get_mapped() && label->get_text().raw().starts_with(start)) return label;
    for (Gtk::Widget* child = widget.get_first_child(); child; child = child->get_next_sibling()) {
        if (Gtk::Label* found = labelStarting(*child, start)) return found;
    }
    return nullptr;
}

} // namespace

TEST(WindowMeasures, TheSmallLabelsOfTheTopBarAndTheStartViewAreMonospacedAt11) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "no display";
    WindowHarness harness;
    waitUntilDrawn(*harness.view().startView());
    for (auto [place, start] : {std::pair<Gtk::Widget*, const char*>{&harness.bar(), "profile: "},
                                {&harness.bar(), "agent: "},
                                {harness.view().startView(), "NEW SESSION"}}) {
        Gtk::Label* label = labelStarting(*place, start);
        ASSERT_NE(label, nullptr) << start;
        EXPECT_EQ(fontSize(*label), 11) << start;
        const PangoFontDescription* font = pango_context_get_font_description(label->get_pango_context()->gobj());
        EXPECT_STREQ(pango_font_description_get_family(font), "monospace") << start;
    }
}

TEST(WindowMeasures, ThePanelKeepsItsWidthOnEveryTabAndTheAddressAndFormsStopAtTheirs) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "no display";
    PanelHarness panels;
    WebsiteData data(panels.folder / "data", panels.folder / "cache");
    ProfileStore profiles(panels.folder, std::make_unique<Keychain>("VeskMeasureTests"), data);
    WindowHarness harness(&profiles);
    profiles.setSession(harness.session);
    ASSERT_TRUE(harness.openInBar(harness.server.url("/")));

    auto panelWidths = [&] {
        std::vector<int> widths;
        for (ui::SidePanel tab : ui::allSidePanels) {
            harness.view().panel.set(tab);
            waitUntilDrawn(*harness.view().sidePanel());
            widths.push_back(harness.view().sidePanel()->get_width());
        }
        return widths;
    };
    const std::vector<int> panelWide(3, 340);
    // The temporary profile in use, as at first start.
    EXPECT_EQ(panelWidths(), panelWide);
    EXPECT_EQ(harness.bar().addressField().get_width(), 520);

    // Names, sites and steps longer than the panel is wide.
    const std::string longName = "a name that runs on well past the width of the side panel, and on";
    const std::string longSite = "a-host-name-much-longer-than-the-side-panel-is-wide.example";
    BrowserProfile profile = runTask(profiles.createProfile(longName));
    runTask(profiles.selectProfile(profile));
    runTask(
        profiles.setVariable("A_VARIABLE_WHOSE_NAME_IS_LONGER_THAN_THE_PANEL_IS_WIDE", "value", longSite, profile.id));
    const std::string longKey = "a_credential_whose_name_is_longer_than_the_side_panel_is_wide";
    Credential login = runTask(profiles.addCredential(longKey, {longSite, "login." + longSite}, "ann", "pw", ""));
    runTask(profiles.assignCredential(login.id, true, profile.id));
    runTask(profiles.addCredential(longKey + "_too", {longSite}, "ann", "pw", ""));
    FlowStep load{FlowStep::Action::navigate, std::nullopt, harness.server.url("/?" + std::string(300, 'q')),
                  std::nullopt, std::nullopt};
    harness.flows.save(Flow{longName, {load, load}});
    EXPECT_EQ(panelWidths(), panelWide);
    // The flows tab with the replayed flow's steps open.
    harness.view().panel.set(ui::SidePanel::flows);
    harness.view().playback.replayFlow(*harness.flows.flowNamed(longName), harness.session);
    ASSERT_TRUE(spinUntil([&] { return !harness.view().playback.running->has_value(); }));
    auto* flowsPanel = dynamic_cast<ui::FlowsPanel*>(harness.view().sidePanel()->content());
    ASSERT_TRUE(spinUntil([&] { return flowsPanel->rows().size() == 1 && flowsPanel->rows()[0]->stepMarks().size() == 2; }));
    waitUntilDrawn(*flowsPanel);
    EXPECT_EQ(harness.view().sidePanel()->get_width(), 340);
    EXPECT_EQ(fontSize(*flowsPanel->rows()[0]->stepMarks()[0]), 12) << "step rows";

    UserDefaults defaults(panels.folder / "config");
    BrowserSettings settings(defaults);
    openSettingsWindow(harness.session, harness.flows, profiles, settings);
    Gtk::Window* window = settingsWindow();
    window->set_size_request(1200, 600);
    auto* view = dynamic_cast<SettingsView*>(window->get_child()->get_first_child());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(fontSize(*view->resetButton().get_child()), 11.5) << "reset timings";
    for (SettingsSection section : {SettingsSection::profiles, SettingsSection::credentials}) {
        view->showSection(section);
        if (section == SettingsSection::credentials) {
            click(dynamic_cast<ui::CredentialsPanel&>(*view->sectionPanel()).addButton());
        }
        waitUntilDrawn(*view);
        // 480 with its padding of 14 on either side, in a detail much wider.
        EXPECT_EQ(view->sectionPanel()->get_width(), 480 - 2 * 14) << title(section);
        EXPECT_GT(view->get_width() - 190, 800);
    }
}
