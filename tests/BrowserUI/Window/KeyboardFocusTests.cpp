// Where the keyboard goes after what a person does by keyboard alone in the
// panels, with real key presses on the window.

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserMCP/BrowserSettings.h"
#include "BrowserMCP/MCPServer.h"
#include "BrowserUI/PanelHarness.h"
#include "BrowserUI/RealKeys.h"
#include "BrowserUI/ScreenReader.h"
#include "BrowserUI/Settings/CredentialForm.h"
#include "BrowserUI/Settings/CredentialsPanel.h"
#include "BrowserUI/Settings/SettingsView.h"
#include "BrowserUI/Settings/SettingsWindow.h"
#include "BrowserUI/SidePanel/FlowRow.h"
#include "BrowserUI/SidePanel/FlowsPanel.h"
#include "BrowserUI/SidePanel/ProfilesPanel.h"
#include "BrowserUI/SidePanel/SidePanelView.h"
#include "BrowserUI/Window/PopupView.h"
#include "BrowserUI/Window/StartView.h"
#include "BrowserUI/WindowHarness.h"
#include "Support/ClosedPort.h"
#include "Support/PlainServer.h"
#include "Support/ProfileDoubles.h"

#include <gtkmm/label.h>
#include <nlohmann/json.hpp>

using namespace vesk;
using namespace vesk::test;

namespace {

struct WindowWithProfiles {
    PanelHarness panels;
    WebsiteData data{panels.folder / "data", panels.folder / "cache"};
    ProfileStore profiles{panels.folder, std::make_unique<MemorySecretStore>(), data};
    WindowHarness harness{&profiles};
    MCPServer agent{harness.session.get(), harness.activity, &harness.flows, &profiles};
    WindowWithProfiles() { profiles.setSession(harness.session); }

    // The agent's tool call, started and left to run.
    Task<std::optional<std::string>> call(const std::string& tool, const nlohmann::json& arguments) {
        nlohmann::json request{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"},
                               {"params", {{"name", tool}, {"arguments", arguments}}}};
        return agent.handle(request.dump());
    }
    ui::ProfilesPanel& profilesTab() {
        harness.view().panel.set(ui::SidePanel::profiles);
        return dynamic_cast<ui::ProfilesPanel&>(*harness.view().sidePanel()->content());
    }
};

// The texts a person sees in the widget: its drawn labels, in order.
std::vector<std::string> shownTexts(Gtk::Widget& widget) {
    std::vector<std::string> texts;
    if (!widget.get_mapped()) return texts;
    if (auto* label = dynamic_cast<Gtk::Label*>(&widget)) texts.push_back(label->get_text());
    for (Gtk::Widget* child = widget.get_first_child(); child; child = child->get_next_sibling()) {
        for (auto& text : shownTexts(*child)) texts.push_back(std::move(text));
    }
    return texts;
}

} // namespace

TEST(KeyboardFocus, WhatIsTypedWhileTheAgentActsLosesNoKeyNorTheKeyboard) {
    ON_PRIVATE_DISPLAY();
    auto* input = RealInput::get();
    WindowWithProfiles window;
    auto& server = window.harness.server;
    server.serve("/opener", "<a href='#' onclick=\"window.open('/form', 'form', 'width=400'); return false\">open</a>");
    // The window's page comes late, while the person types on.
    server.serve("/form", {.body = "<input id=field autofocus>", .delay = seconds(0.3)});
    runTask(window.profiles.createProfile("Work"));
    runTask(window.call("navigate", {{"url", server.url("/opener")}}));
    Gtk::Entry& field = window.profilesTab().newProfileField();
    input->focus(GTK_WIDGET(window.harness.window->gobj()));
    field.grab_focus();
    auto sheetHasKeyboard = [&] {
        auto* sheet = window.harness.view().sheet();
        return sheet && gtk_widget_has_focus(GTK_WIDGET(sheet->webView()));
    };
    // At a person's pace: each key reaches the field, or the window's page
    // once it has the keyboard, and the window draws before the next.
    auto typeKey = [&](char key) {
        std::size_t before = field.get_text().size();
        input->type(std::string(1, key));
        ASSERT_TRUE(spinUntil([&] { return field.get_text().size() > before || sheetHasKeyboard(); })) << key;
        waitUntilDrawn(field);
    };

    // The agent's profile starts blank: the start view shows, which takes the
    // keyboard as it shows, while the agent's call goes on.
    for (char key : std::string("Hol")) typeKey(key);
    auto switching = window.call("use_profile", {{"name", "Work"}});
    for (char key : std::string("iday")) typeKey(key);
    ASSERT_TRUE(spinUntil([&] { return switching.isDone() && window.harness.view().startView(); }));
    EXPECT_EQ(field.get_text().raw(), "Holiday");
    EXPECT_TRUE(holdsFocus(field));

    // The agent clicks a link that opens a window.
    std::string page = runTask(window.call("navigate", {{"url", server.url("/opener")}})).value_or("");
    std::size_t link = page.find("] link");
    ASSERT_NE(link, std::string::npos) << page;
    auto clicking = window.call("click", {{"ref", page.substr(page.rfind('[', link) + 1, link - page.rfind('[', link) - 1)}});
    std::string typed = field.get_text();
    for (int count = 0; !sheetHasKeyboard() && count < 300; ++count) {
        typed += char('a' + count % 26);
        typeKey(typed.back());
    }
    ASSERT_TRUE(sheetHasKeyboard());
    std::string inField = field.get_text();
    input->type("after");
    typed += "after";
    ASSERT_TRUE(spinUntil([&] {
        return clicking.isDone() && runTask(window.harness.session->evaluate("return field.value")) ==
                                        nlohmann::json(typed.substr(inField.size())).dump();
    })) << typed << " went to the field as " << inField;

    // Closed, the window gives the keyboard back to the field, its text kept.
    input->key("Escape");
    ASSERT_TRUE(spinUntil([&] { return !window.harness.view().sheet() && holdsFocus(field); }));
    EXPECT_EQ(field.get_text().raw(), inField);
}

TEST(KeyboardFocus, SavingAVariableWithReturnDoesNothingUntilItIsWholeThenLeavesTheKeyboardInTheEmptiedForm) {
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
    auto value = [&] { return panel->variableForm(work.id)->valueField().secret(); };
    ASSERT_TRUE(spinUntil([&] { return value() == "topsecret"; }));
    // Return with no site does nothing: no word is added, nothing is saved,
    // and the next key goes on into the same field.
    const std::vector<std::string> shown = shownTexts(*panel);
    input->key("Return");
    input->type("!");
    ASSERT_TRUE(spinUntil([&] { return value() == "topsecret!"; }));
    EXPECT_EQ(shownTexts(*panel), shown);
    EXPECT_TRUE(window.profiles.profiles->front().variables.empty());
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
    // Its window's focus, whether the window is active or not: the windows
    // of the tests beside this one take the display's keyboard.
    ASSERT_TRUE(gtk_widget_is_focus(page));
    // The window goes; the page goes on drawing on its stage, where no
    // person's keyboard is.
    harness.window.reset();
    ASSERT_TRUE(harness.session->stages->contains(harness.session->page->get()));
    EXPECT_FALSE(gtk_widget_is_focus(page));
}

TEST(KeyboardFocus, AfterEachActionExactlyOneNamedControlHasTheKeyboard) {
    WITH_SCREEN_READER();
    auto* input = RealInput::get();
    WindowWithProfiles window;
    auto& harness = window.harness;
    input->focus(GTK_WIDGET(harness.window->gobj()));
    // The control holds the keyboard (once the history has settled, for a
    // history button), and a screen reader hears it alone.
    auto heardAlone = [](Gtk::Widget& control, const std::string& name, std::optional<std::string> text = std::nullopt) {
        ASSERT_TRUE(spinUntil([&] { return holdsFocus(control); })) << name;
        auto heard = focusedElements();
        ASSERT_EQ(heard.size(), 1u) << name << ", then " << heard.back().role << " '" << heard.back().name << "'";
        EXPECT_EQ(heard[0].name, name);
        if (text) {
            EXPECT_EQ(heard[0].text, text);
        }
    };

    // A failed address in the start view: the page it would have shown,
    // kept drawing out of sight, is heard nowhere.
    ClosedPort closed;
    Gtk::Entry& startField = harness.view().startView()->addressField();
    startField.grab_focus();
    input->type(closed.url("/x"));
    input->key("Return");
    ASSERT_TRUE(spinUntil([&] { return harness.view().startView()->failureText() && !*harness.session->isLoading; }));
    heardAlone(startField, "Address", closed.url("/x"));

    ASSERT_TRUE(harness.openInBar(harness.server.url("/")));
    ASSERT_TRUE(harness.openInBar(harness.server.url("/second")));

    // Back at the first page turns Back off, Forward at the last Forward.
    harness.bar().button("back").grab_focus();
    input->key("space");
    ASSERT_TRUE(spinUntil([&] { return harness.session->url.get() == harness.server.url("/") && !*harness.session->isLoading; }));
    heardAlone(harness.bar().button("forward"), "Forward");
    input->key("space");
    ASSERT_TRUE(spinUntil([&] { return harness.session->url.get() == harness.server.url("/second") && !*harness.session->isLoading; }));
    heardAlone(harness.bar().button("back"), "Back");

    // A failed address leaves the keyboard in the field, with what was typed.
    PlainServer plain;
    for (const auto& typed : {closed.url("/x"), std::string("http://127.0.0.1:6000/"),
                              "localhost:" + std::to_string(plain.port()) + "/x"}) {
        input->key("l", "Control_L");
        input->type(typed);
        input->key("Return");
        ASSERT_TRUE(spinUntil([&] {
            return harness.bar().failureText() && harness.bar().addressField().get_text().raw() == typed &&
                   !*harness.session->isLoading;
        })) << typed;
        heardAlone(harness.bar().addressField(), "Address", typed);
    }

    // Escape gives the keyboard back from a window the page opened: to the
    // page, or to a field of the panel, with what was typed.
    Gtk::Widget& page = *Glib::wrap(GTK_WIDGET(harness.session->page->get()));
    page.grab_focus();
    static_cast<void>(runTask(harness.session->evaluate("window.open('/popup', 'one', 'width=400')")));
    ASSERT_TRUE(spinUntil([&] { return harness.view().sheet() && !holdsFocus(page); }));
    input->key("Escape");
    ASSERT_TRUE(spinUntil([&] { return !harness.view().sheet(); }));
    heardAlone(page, "Page");
    Gtk::Entry& field = window.profilesTab().newProfileField();
    field.grab_focus();
    static_cast<void>(runTask(harness.session->evaluate("window.open('/popup', 'one', 'width=400')")));
    ASSERT_TRUE(spinUntil([&] { return harness.view().sheet() && !holdsFocus(field); }));
    input->key("Escape");
    ASSERT_TRUE(spinUntil([&] { return !harness.view().sheet(); }));
    heardAlone(field, "New profile", "");

    // A profile made by Return: the page goes blank, the keyboard stays in the panel.
    input->type("Holiday");
    input->key("Return");
    ASSERT_TRUE(spinUntil([&] { return window.profiles.currentProfile() && harness.view().startView(); }));
    heardAlone(field, "New profile", "");

    // "reset timings" turns itself off: the section shown takes the keyboard.
    UserDefaults defaults(window.panels.folder / "config");
    BrowserSettings settings(defaults);
    settings.modifyTimings([](auto& timings) { timings.stepTimeout = 9; });
    openSettingsWindow(harness.session, harness.flows, window.profiles, settings);
    auto* view = dynamic_cast<SettingsView*>(settingsWindow()->get_child()->get_first_child());
    input->focus(GTK_WIDGET(settingsWindow()->gobj()));
    view->resetButton().grab_focus();
    input->key("space");
    ASSERT_TRUE(spinUntil([&] { return settings.timings() == BrowserSettings::Timings(); }));
    heardAlone(view->sectionButton(SettingsSection::agent), "agent");
}
