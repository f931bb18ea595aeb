// Keys a person presses where a field or a row has the focus: the window's
// own keys come first, no emoji chooser takes the keyboard, and a flow row's
// menu opens as a context menu does.

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserMCP/BrowserSettings.h"
#include "BrowserUI/Settings/SettingsWindow.h"
#include "BrowserUI/SidePanel/FlowRow.h"
#include "BrowserUI/SidePanel/FlowsPanel.h"
#include "BrowserUI/SidePanel/SidePanelView.h"
#include "BrowserUI/WindowHarness.h"
#include "Platform/Keychain.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

// The first shown widget of the GTK type under `widget`, popovers included;
// none when no widget of the type was ever made.
GtkWidget* findShown(GtkWidget* widget, const char* typeName) {
    GType type = g_type_from_name(typeName);
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child; child = gtk_widget_get_next_sibling(child)) {
        if (!gtk_widget_get_visible(child)) continue;
        if (type && g_type_is_a(G_OBJECT_TYPE(child), type)) return child;
        if (GtkWidget* found = findShown(child, typeName)) return found;
    }
    return nullptr;
}

} // namespace

TEST(WindowKeys, CtrlPeriodPausesFromATextFieldWhereNoEmojiChooserOpens) {
    ON_PRIVATE_DISPLAY();
    auto* input = RealInput::get();
    WindowHarness harness;
    UserDefaults defaults(harness.flowsFolder / "config");
    BrowserSettings settings(defaults);
    WebsiteData data(harness.flowsFolder / "data", harness.flowsFolder / "cache");
    ProfileStore profiles(harness.flowsFolder, std::make_unique<Keychain>("VeskWindowKeyTests"), data);
    harness.models.openSettings = [&] { openSettingsWindow(harness.session, harness.flows, profiles, settings); };
    GtkWidget* window = GTK_WIDGET(harness.window->gobj());
    input->focus(window);
    input->key("l", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return harness.bar().addressFocused(); }));

    // The side panel is hidden; the top bar says the agent is paused.
    input->key("period", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return *harness.activity.isPaused; }));
    EXPECT_EQ(harness.bar().statusText(), "agent: paused");
    input->key("semicolon", "Control_L");
    input->type("x");
    ASSERT_TRUE(spinUntil([&] { return harness.bar().addressField().get_text() == "x"; }));
    input->key("j", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return harness.view().sidePanel() != nullptr; }));
    EXPECT_EQ(findShown(window, "GtkEmojiChooser"), nullptr);
    input->key("period", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return !*harness.activity.isPaused; }));

    // The settings window's fields take no emoji either.
    input->key("comma", "Control_L");
    ASSERT_TRUE(spinUntil([] { return settingsWindow() && settingsWindow()->get_mapped(); }));
    GtkWidget* second = GTK_WIDGET(settingsWindow()->gobj());
    GtkWidget* field = findShown(second, "GtkText");
    ASSERT_NE(field, nullptr);
    input->focus(second);
    gtk_widget_grab_focus(field);
    gtk_editable_set_text(GTK_EDITABLE(field), "");
    input->key("period", "Control_L");
    input->key("semicolon", "Control_L");
    input->type("7");
    ASSERT_TRUE(spinUntil([&] { return g_str_equal(gtk_editable_get_text(GTK_EDITABLE(field)), "7"); }));
    EXPECT_EQ(findShown(second, "GtkEmojiChooser"), nullptr);
    settingsWindow()->close();
}

TEST(WindowKeys, AFlowRowsDeleteOpensFromTheKeyboard) {
    ON_PRIVATE_DISPLAY();
    auto* input = RealInput::get();
    WindowHarness harness;
    auto* panel = &harness.showFlows({"one", "two"});
    ASSERT_TRUE(spinUntil([&] { return panel->rows().size() == 2; }));
    input->focus(GTK_WIDGET(harness.window->gobj()));
    auto menuShown = [&] { return findShown(GTK_WIDGET(panel->rows()[0]->gobj()), "GtkPopover") != nullptr; };

    panel->rows()[0]->header().grab_focus();
    input->key("F10", "Shift_L");
    ASSERT_TRUE(spinUntil(menuShown));
    input->key("Escape");
    ASSERT_TRUE(spinUntil([&] { return !menuShown(); }));
    input->key("Menu");
    ASSERT_TRUE(spinUntil(menuShown));
    input->key("Return");
    ASSERT_TRUE(spinUntil([&] { return harness.flows.flows().size() == 1; }));
    EXPECT_EQ(harness.flows.flows()[0].name, "two");
}

TEST(WindowKeys, TheSettingsWindowClosesByEscapeByCtrlWAndByItsCloseButton) {
    ON_PRIVATE_DISPLAY();
    auto* input = RealInput::get();
    WindowHarness harness;
    UserDefaults defaults(harness.flowsFolder / "config");
    BrowserSettings settings(defaults);
    WebsiteData data(harness.flowsFolder / "data", harness.flowsFolder / "cache");
    ProfileStore profiles(harness.flowsFolder, std::make_unique<Keychain>("VeskWindowKeyTests"), data);
    auto open = [&] {
        openSettingsWindow(harness.session, harness.flows, profiles, settings);
        EXPECT_TRUE(spinUntil([] { return settingsWindow()->get_mapped(); }));
        input->focus(GTK_WIDGET(settingsWindow()->gobj()));
        // Keys from a field of the window, which might keep them for itself.
        gtk_widget_grab_focus(findShown(GTK_WIDGET(settingsWindow()->gobj()), "GtkText"));
    };
    for (auto [key, modifier] : {std::pair<const char*, const char*>{"Escape", nullptr}, {"w", "Control_L"}}) {
        open();
        input->key(key, modifier);
        ASSERT_TRUE(spinUntil([] { return !settingsWindow()->get_visible(); })) << key;
    }

    // Tab reaches the window's close button.
    open();
    auto closeHasFocus = [] {
        GtkWidget* focus = gtk_root_get_focus(GTK_ROOT(settingsWindow()->gobj()));
        return focus && gtk_widget_has_css_class(focus, "close");
    };
    for (int presses = 0; presses < 12 && !closeHasFocus(); ++presses) {
        GtkWidget* before = gtk_root_get_focus(GTK_ROOT(settingsWindow()->gobj()));
        input->key("Tab");
        ASSERT_TRUE(spinUntil([&] { return gtk_root_get_focus(GTK_ROOT(settingsWindow()->gobj())) != before; }));
    }
    ASSERT_TRUE(closeHasFocus());
    input->key("space");
    ASSERT_TRUE(spinUntil([] { return !settingsWindow()->get_visible(); }));
}
