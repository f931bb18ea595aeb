// Where the keyboard goes after what a person does by keyboard alone in the
// panels, with real key presses on the window.

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserMCP/BrowserSettings.h"
#include "BrowserUI/PanelHarness.h"
#include "BrowserUI/RealKeys.h"
#include "BrowserUI/Settings/CredentialForm.h"
#include "BrowserUI/Settings/CredentialsPanel.h"
#include "BrowserUI/Settings/SettingsView.h"
#include "BrowserUI/Settings/SettingsWindow.h"
#include "BrowserUI/SidePanel/FlowRow.h"
#include "BrowserUI/SidePanel/FlowsPanel.h"
#include "BrowserUI/SidePanel/ProfilesPanel.h"
#include "BrowserUI/SidePanel/SidePanelView.h"
#include "BrowserUI/WindowHarness.h"
#include "Support/ProfileDoubles.h"

using namespace vesk;
using namespace vesk::test;

namespace {

struct WindowWithProfiles {
    PanelHarness panels;
    WebsiteData data{panels.folder / "data", panels.folder / "cache"};
    ProfileStore profiles{panels.folder, std::make_unique<MemorySecretStore>(), data};
    WindowHarness harness{&profiles};
    WindowWithProfiles() { profiles.setSession(harness.session); }
};

} // namespace

TEST(KeyboardFocus, SavingAVariableWithReturnLeavesTheKeyboardInTheEmptiedForm) {
    ON_PRIVATE_DISPLAY();
    auto* input = RealInput::get();
    WindowWithProfiles window;
    BrowserProfile work = runTask(window.profiles.createProfile("Work"));
    runTask(window.profiles.selectProfile(work));
    window.harness.view().panel.set(ui::SidePanel::profiles);
    auto* panel = dynamic_cast<ui::ProfilesPanel*>(window.harness.view().sidePanel()->content());
    ASSERT_TRUE(spinUntil([&] { return panel->variableForm(work.id) != nullptr; }));
    input->focus(GTK_WIDGET(window.harness.window->gobj()));
    panel->variableForm(work.id)->keyField().grab_focus();

    input->type("token");
    input->key("Tab");
    input->type("topsecret");
    input->key("Tab");
    input->type("example.com");
    input->key("Return");
    ASSERT_TRUE(spinUntil([&] {
        return window.profiles.profiles->front().variables.size() == 1 &&
               holdsFocus(panel->variableForm(work.id)->keyField());
    }));
    // A second Return finds an empty form, not a control that switches profiles.
    input->key("Return");
    input->type("next");
    ASSERT_TRUE(spinUntil([&] { return panel->variableForm(work.id)->keyField().get_text() == "next"; }));
    EXPECT_EQ(window.profiles.currentID.get(), work.id);
}

TEST(KeyboardFocus, TheCredentialFormTakesTheKeyboardAndKeepsItWhenTheStoreChanges) {
    ON_PRIVATE_DISPLAY();
    auto* input = RealInput::get();
    WindowWithProfiles window;
    UserDefaults defaults(window.panels.folder / "config");
    BrowserSettings settings(defaults);
    openSettingsWindow(window.harness.session, window.harness.flows, window.profiles, settings);
    auto* view = dynamic_cast<SettingsView*>(settingsWindow()->get_child()->get_first_child());
    view->showSection(SettingsSection::credentials);
    auto& panel = dynamic_cast<ui::CredentialsPanel&>(*view->sectionPanel());
    ASSERT_TRUE(spinUntil([&] { return panel.get_mapped(); }));
    input->focus(GTK_WIDGET(settingsWindow()->gobj()));
    panel.addButton().grab_focus();

    input->key("Return");
    ASSERT_TRUE(spinUntil([&] { return panel.form() && holdsFocus(panel.form()->nameField()); }));
    input->type("bank");
    ASSERT_TRUE(spinUntil([&] { return panel.form()->nameField().get_text() == "bank"; }));

    // Another credential is stored meanwhile: the form is made again, and
    // typing goes on where it was.
    ui::CredentialForm* before = panel.form();
    runTask(window.profiles.addCredential("mail", {"mail.example"}, "ann", "pw", ""));
    ASSERT_TRUE(spinUntil([&] { return panel.form() != before; }));
    input->type("2");
    ASSERT_TRUE(spinUntil([&] { return panel.form()->nameField().get_text() == "bank2"; }))
        << panel.form()->nameField().get_text();
}

TEST(KeyboardFocus, TabGoesThroughAFlowRowInReadingOrder) {
    ON_PRIVATE_DISPLAY();
    auto* input = RealInput::get();
    WindowHarness harness;
    auto* panel = &harness.showFlows({"sign in"});
    ASSERT_TRUE(spinUntil([&] { return panel->rows().size() == 1 && panel->get_mapped(); }));
    input->focus(GTK_WIDGET(harness.window->gobj()));
    panel->rows()[0]->header().grab_focus();

    // The order of Tab follows where the controls are drawn.
    waitUntilDrawn(*panel);
    input->key("Tab");
    ASSERT_TRUE(spinUntil([&] { return holdsFocus(*panel->rows()[0]->replayButton()); }));
}

TEST(KeyboardFocus, APageGivenBackToItsStageHoldsNoFocus) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "no display";
    WindowHarness harness;
    ASSERT_TRUE(harness.openInBar(harness.server.url("/")));
    GtkWidget* page = GTK_WIDGET(harness.session->page->get());
    gtk_widget_grab_focus(page);
    ASSERT_TRUE(gtk_widget_has_focus(page));
    // The window goes; the page goes on drawing on its stage, where no
    // person's keyboard is.
    harness.window.reset();
    ASSERT_TRUE(harness.session->stages->contains(harness.session->page->get()));
    EXPECT_FALSE(gtk_widget_has_focus(page));
}
