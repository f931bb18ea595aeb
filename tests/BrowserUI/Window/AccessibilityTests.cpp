// The running window read as a screen reader reads it: over AT-SPI on the
// test session's bus, by a reader in a process of its own.

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserMCP/BrowserSettings.h"
#include "BrowserMCP/MCPServer.h"
#include "BrowserUI/PanelHarness.h"
#include "BrowserUI/ScreenReader.h"
#include "BrowserUI/Settings/CredentialForm.h"
#include "BrowserUI/Settings/CredentialsPanel.h"
#include "BrowserUI/Settings/SettingsView.h"
#include "BrowserUI/Settings/SettingsWindow.h"
#include "BrowserUI/SidePanel/FlowRow.h"
#include "BrowserUI/SidePanel/ProfilesPanel.h"
#include "BrowserUI/SidePanel/Recorder.h"
#include "BrowserUI/SidePanel/SidePanelView.h"
#include "BrowserUI/Window/PopupView.h"
#include "BrowserUI/Window/StartView.h"
#include "BrowserUI/WindowHarness.h"
#include "Support/ChildProcess.h"
#include "Support/ProfileDoubles.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <sstream>

using namespace vesk;
using namespace vesk::test;

namespace {

// Windows that come and go, as a page's popups make them: one every 100 ms,
// shown, hidden from screen readers, and destroyed when the next comes.
class PassingWindows {
public:
    PassingWindows() : source_(g_timeout_add(100, &PassingWindows::next, this)) {}
    ~PassingWindows() {
        g_source_remove(source_);
        if (window_) gtk_window_destroy(window_);
    }
    PassingWindows(const PassingWindows&) = delete;
    PassingWindows& operator=(const PassingWindows&) = delete;

private:
    static gboolean next(gpointer data) {
        auto* self = static_cast<PassingWindows*>(data);
        if (self->window_) gtk_window_destroy(self->window_);
        self->window_ = GTK_WINDOW(gtk_window_new());
        gtk_widget_set_visible(GTK_WIDGET(self->window_), TRUE);
        gtk_accessible_update_state(GTK_ACCESSIBLE(self->window_), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
        return G_SOURCE_CONTINUE;
    }
    guint source_;
    GtkWindow* window_ = nullptr;
};

// A name made of a toolkit type's: GtkButton, gtkmm__GtkImage, WebKitWebView.
bool isTypeName(std::string_view name) {
    if (name.starts_with("gtkmm__")) return true;
    for (std::string_view toolkit : {"Gtk", "Gdk", "WebKit"}) {
        if (!name.starts_with(toolkit) || name.size() == toolkit.size()) continue;
        std::string_view rest = name.substr(toolkit.size());
        if (std::isupper(static_cast<unsigned char>(rest[0])) &&
            std::all_of(rest.begin(), rest.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            return true;
    }
    return false;
}

nlohmann::json callTool(MCPServer& server, const std::string& name, const nlohmann::json& arguments) {
    nlohmann::json request{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"},
                           {"params", {{"name", name}, {"arguments", arguments}}}};
    return nlohmann::json::parse(runTask(server.handle(request.dump()), seconds(60)).value());
}

std::string dump(const std::vector<Element>& elements) {
    std::string text;
    for (const auto& e : elements) {
        text += std::string(2 * e.depth, ' ') + "[" + e.role + "] '" + e.name + "' " + std::to_string(e.children);
        for (const auto& s : e.states) text += " " + s;
        text += "\n";
    }
    return text;
}

} // namespace

TEST(Accessibility, AScreenReaderReadsTheWindowByWhatItShows) {
    WITH_SCREEN_READER();
    PanelHarness panels;
    WebsiteData data(panels.folder / "data", panels.folder / "cache");
    ProfileStore profiles(panels.folder, std::make_unique<MemorySecretStore>(), data);
    WindowHarness harness(&profiles);
    profiles.setSession(harness.session);
    runTask(profiles.addCredential("bank", {"bank.example"}, "ann", "pw", ""));
    FlowStep load{FlowStep::Action::navigate, std::nullopt, harness.server.url("/second"), std::nullopt, std::nullopt};
    harness.flows.save(Flow{"sign in", {load}});
    UserDefaults defaults(panels.folder / "config");
    BrowserSettings settings(defaults);

    std::vector<std::string> read; // the whole of what was read, for a failure's message
    auto readNow = [&] {
        waitUntilDrawn(*harness.window);
        auto tree = readTree();
        read.push_back(dump(tree));
        return tree;
    };
    auto named = [](const std::vector<Element>& tree, const std::string& name) -> const Element* {
        auto found = std::find_if(tree.begin(), tree.end(), [&](const Element& e) { return e.name == name; });
        return found == tree.end() ? nullptr : &*found;
    };
    auto startingWith = [](const std::vector<Element>& tree, const std::string& start) {
        std::vector<Element> found;
        for (const auto& e : tree)
            if (e.name.rfind(start, 0) == 0) found.push_back(e);
        return found;
    };

    // The start view, with the log beside it.
    harness.view().panel.set(ui::SidePanel::activity);
    auto start = readNow();
    // The top bar's field and the start view's are both read as "Address";
    // the start view's prompt is no name.
    EXPECT_EQ(std::count_if(start.begin(), start.end(), [](const Element& e) { return e.name == "Address"; }), 2);
    EXPECT_EQ(std::count_if(start.begin(), start.end(),
                            [](const Element& e) { return e.name == "Address" && e.placeholder == "Where to?"; }),
              1);
    EXPECT_EQ(named(start, "Where to?"), nullptr);
    EXPECT_EQ(named(start, "›"), nullptr) << "the sign is decoration";
    const Element* profile = named(start, "profile: temporary");
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->role, "push button");
    for (const char* tab : {"log", "flows", "profiles"}) {
        ASSERT_NE(named(start, tab), nullptr) << tab;
        EXPECT_EQ(has(*named(start, tab), "selected"), std::string(tab) == "log") << tab;
    }

    // The agent has worked: a run and its calls in the log, a page in the window.
    MCPServer server(harness.session.get(), harness.activity, nullptr, nullptr);
    callTool(server, "navigate", {{"url", harness.server.url("/")}});
    callTool(server, "snapshot", {});
    // The page has opened two windows, the last shown in the sheet.
    callTool(server, "evaluate", {{"script", "openTwo()"}});
    ASSERT_TRUE(spinUntil([&] {
        const auto& popups = *harness.session->popups;
        return popups.size() == 2 && harness.view().sheet() && harness.view().sheet()->webView() == popups[1].get();
    }));
    std::vector<Element> log;
    {
        // The window is read whole while windows come and go around it.
        PassingWindows passing;
        log = readNow();
    }
    EXPECT_NE(named(log, "close"), nullptr);
    auto summaries = startingWith(log, "Run, ");
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_EQ(summaries[0].children, 0) << "the run summary is read as one element";
    for (const char* call : {"navigate, ", "snapshot, ", "evaluate, "}) {
        auto rows = startingWith(log, call);
        ASSERT_EQ(rows.size(), 1u) << call;
        EXPECT_EQ(rows[0].children, 0) << call << " is read as one element";
    }

    while (harness.view().closeSheet()) spinUntil([&] { return !harness.view().sheet(); }, seconds(2));

    // The flows tab with a replayed flow's steps, the profiles tab, and the
    // settings window with a credential being typed.
    harness.view().panel.set(ui::SidePanel::flows);
    harness.view().playback.replayFlow(*harness.flows.flowNamed("sign in"), harness.session);
    ASSERT_TRUE(spinUntil([&] { return !harness.view().playback.running->has_value(); }));
    auto flows = readNow();
    EXPECT_TRUE(has(*named(flows, "flows"), "selected"));
    EXPECT_FALSE(has(*named(flows, "log"), "selected"));
    // The page's address drawn over the field is not read; the field is.
    EXPECT_EQ(named(flows, "/second"), nullptr);
    EXPECT_NE(named(flows, "Address"), nullptr);
    auto steps = startingWith(flows, "Passed, ");
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].children, 0) << "a step row is read as one element";
    // The folder button is read by what it shows; its long help is no name.
    const Element* folder = named(flows, "folder " + harness.flowsFolder.filename().string());
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->role, "push button");
    EXPECT_TRUE(startingWith(flows, "Flows are saved in").empty());

    // A value typed in a profile's variable form and a password typed in a
    // credential's form are read as hidden text.
    BrowserProfile work = runTask(profiles.createProfile("Work"));
    runTask(profiles.selectProfile(work));
    harness.view().panel.set(ui::SidePanel::profiles);
    auto* profilesPanel = dynamic_cast<ui::ProfilesPanel*>(harness.view().sidePanel()->content());
    ASSERT_TRUE(spinUntil([&] { return profilesPanel->variableForm(work.id) != nullptr; }));
    profilesPanel->variableForm(work.id)->valueField().set_text("topsecret");
    openSettingsWindow(harness.session, harness.flows, profiles, settings);
    auto* view = dynamic_cast<SettingsView*>(settingsWindow()->get_child()->get_first_child());
    view->showSection(SettingsSection::credentials);
    auto& credentials = dynamic_cast<ui::CredentialsPanel&>(*view->sectionPanel());
    click(credentials.addButton());
    ASSERT_TRUE(spinUntil([&] { return credentials.form() != nullptr; }));
    credentials.form()->passwordField().set_text("newpw");
    waitUntilDrawn(*view);
    auto profilesAndSettings = readNow();
    EXPECT_TRUE(has(*named(profilesAndSettings, "credentials"), "selected"));
    EXPECT_FALSE(has(*named(profilesAndSettings, "agent"), "selected"));
    std::vector<std::string> hidden;
    for (const Element& e : profilesAndSettings)
        if (e.role == "password text" && e.text && !e.text->empty()) hidden.push_back(*e.text);
    EXPECT_EQ(hidden, (std::vector<std::string>{"●●●●●●●●●", "●●●●●"}));
    // The references line can be selected with the pointer, but is no stop of the keyboard.
    auto references = startingWith(profilesAndSettings, "${bank.");
    ASSERT_EQ(references.size(), 1u);
    EXPECT_FALSE(has(references[0], "focusable"));

    // Nothing anywhere is read by a toolkit type's name (the progress line
    // would be, were it not hidden), and no picture at all: the symbols in
    // the history buttons are hidden. What takes the focus has a name; a button or a checkbox is read once,
    // not again by a label inside it; a scroll area has one scroll bar, the
    // one that scrolls; no secret is read anywhere.
    for (const auto& tree : {start, log, flows, profilesAndSettings}) {
        int panes = 0, bars = 0;
        for (std::size_t i = 0; i < tree.size(); ++i) {
            const Element& element = tree[i];
            EXPECT_FALSE(isTypeName(element.name)) << element.role << " " << element.name;
            EXPECT_NE(element.role, "image") << element.name;
            EXPECT_FALSE(has(element, "focusable") && element.name.empty()) << element.role;
            panes += element.role == "scroll pane";
            bars += element.role == "scroll bar";
            for (const auto& said : {element.name, element.text.value_or("")})
                EXPECT_TRUE(said.find("topsecret") == std::string::npos && said.find("newpw") == std::string::npos);
            if (element.role != "push button" && element.role != "check box") continue;
            for (std::size_t j = i + 1; j < tree.size() && tree[j].depth > element.depth; ++j)
                EXPECT_NE(tree[j].role, "label") << element.name << " is read again by " << tree[j].name;
        }
        EXPECT_EQ(bars, panes);
    }
    if (HasFailure()) {
        for (const auto& text : read) std::fprintf(stderr, "%s\n", text.c_str());
    }
}

namespace {

// The first widget of the GTK type under `widget`.
GtkWidget* findWidget(GtkWidget* widget, GType type) {
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child; child = gtk_widget_get_next_sibling(child)) {
        if (g_type_is_a(G_OBJECT_TYPE(child), type)) return child;
        if (GtkWidget* found = findWidget(child, type)) return found;
    }
    return nullptr;
}

} // namespace

TEST(Accessibility, EveryControlAndMenuItemIsReadByItsName) {
    WITH_SCREEN_READER();
    PanelHarness panels;
    WebsiteData data(panels.folder / "data", panels.folder / "cache");
    ProfileStore profiles(panels.folder, std::make_unique<MemorySecretStore>(), data);
    WindowHarness harness(&profiles);
    profiles.setSession(harness.session);
    UserDefaults defaults(panels.folder / "config");
    BrowserSettings settings(defaults);
    runTask(profiles.addCredential("bank", {"bank.example"}, "ann", "pw", "JBSWY3DPEHPK3PXP"));
    runTask(profiles.addCredential("mail", {"mail.example"}, "ann", "pw", ""));
    BrowserProfile work = runTask(profiles.createProfile("Work"));
    runTask(profiles.createProfile("Home"));
    runTask(profiles.setVariable("TOKEN", "secret", "localhost:3000", work.id));
    runTask(profiles.selectProfile(work));
    FlowStep load{FlowStep::Action::navigate, std::nullopt, harness.server.url("/second"), std::nullopt, std::nullopt};
    harness.flows.save(Flow{"sign in", {load}});
    MCPServer server(harness.session.get(), harness.activity, &harness.flows, &profiles);
    openSettingsWindow(harness.session, harness.flows, profiles, settings);
    auto* settingsView = dynamic_cast<SettingsView*>(settingsWindow()->get_child()->get_first_child());

    // Every control and menu item (what may have the keyboard: a page's
    // view says so only while it has it) has a name, in each state of the
    // window and of each settings section beside it; nothing at all is read
    // by a type's name.
    std::string unnamed;
    int views = 0;  // the page's and the sheet's views, read by their names
    auto check = [&](const std::string& state) {
        waitUntilDrawn(*harness.window);
        waitUntilDrawn(*settingsView);
        auto tree = readTree();
        views = 0;
        for (const Element& e : tree) views += e.name == "Page" || e.name == "Page of the window";
        std::size_t before = unnamed.size();
        for (const Element& e : tree) {
            bool control = has(e, "focusable") || has(e, "focused") || e.role == "menu item" || e.role == "push button";
            bool typeName = isTypeName(e.name) || g_type_from_name(e.name.c_str());
            if (typeName || (control && e.name.empty())) unnamed += state + ": [" + e.role + "] '" + e.name + "'\n";
        }
        if (unnamed.size() != before) std::fprintf(stderr, "%s\n", dump(tree).c_str());
    };

    // The start view with a flow to replay; then the page, a window it
    // opened in the sheet, the log of the calls.
    harness.view().panel.set(ui::SidePanel::activity);
    check("start");
    callTool(server, "navigate", {{"url", harness.server.url("/")}});
    static_cast<void>(runTask(harness.session->evaluate("window.open('/popup', 'one', 'width=400')")));
    ASSERT_TRUE(spinUntil([&] { return harness.view().sheet() != nullptr; }));
    harness.view().panel.set(ui::SidePanel::activity);
    settingsView->showSection(SettingsSection::agent);
    check("log");
    EXPECT_EQ(views, 2);
    while (harness.view().closeSheet()) spinUntil([&] { return !harness.view().sheet(); }, seconds(2));

    // A flow open, its menu open; the recorder naming a flow.
    auto& flowsTab = harness.showFlows({});
    ASSERT_TRUE(spinUntil([&] { return flowsTab.rows().size() == 1; }));
    click(flowsTab.rows()[0]->header());
    ASSERT_TRUE(spinUntil([&] { return !flowsTab.rows()[0]->stepMarks().empty(); }));
    click(*flowsTab.recorder().recordAFlowButton());
    ASSERT_TRUE(spinUntil([&] { return flowsTab.recorder().nameField() != nullptr; }));
    flowsTab.rows()[0]->openMenu();
    settingsView->showSection(SettingsSection::page);
    check("flows");
    flowsTab.rows()[0]->menu().popdown();

    // Profiles with a variable form, a deletion asked and the menu of credentials open.
    harness.view().panel.set(ui::SidePanel::profiles);
    auto* profilesTab = dynamic_cast<ui::ProfilesPanel*>(harness.view().sidePanel()->content());
    ASSERT_TRUE(spinUntil([&] { return profilesTab->variableForm(work.id) != nullptr; }));
    auto* assign = findWidget(GTK_WIDGET(profilesTab->gobj()), GTK_TYPE_MENU_BUTTON);
    ASSERT_NE(assign, nullptr);
    gtk_menu_button_popup(GTK_MENU_BUTTON(assign));
    settingsView->showSection(SettingsSection::flows);
    check("profiles");
    gtk_menu_button_popdown(GTK_MENU_BUTTON(assign));

    // The settings' profiles; its credentials with a credential being edited.
    settingsView->showSection(SettingsSection::profiles);
    check("profiles section");
    settingsView->showSection(SettingsSection::credentials);
    auto& credentials = dynamic_cast<ui::CredentialsPanel&>(*settingsView->sectionPanel());
    credentials.edit(profiles.credentials->front().id);
    credentials.askToDelete(profiles.credentials->back().id);
    ASSERT_TRUE(spinUntil([&] { return credentials.form() != nullptr; }));
    check("credentials section");
    EXPECT_EQ(unnamed, "");
}

TEST(Accessibility, AReaderThatKeepsWhatItReadFindsTheWindowAfterPagesAndWindowsCameAndWent) {
    WITH_SCREEN_READER();
    WindowHarness harness;
    waitUntilDrawn(*harness.window);
    LastingReader reader;
    auto stillFound = [&](const char* after) {
        waitUntilDrawn(*harness.window);
        auto windows = reader.windowsFound();
        ASSERT_TRUE(windows) << "lost after " << after;
        EXPECT_NE(std::find(windows->begin(), windows->end(), "Vesk"), windows->end()) << after;
    };

    // The start view's first load, as a person opens it.
    harness.view().startView()->addressField().set_text(harness.server.url("/"));
    harness.view().startView()->submitAddress();
    ASSERT_TRUE(spinUntil([&] { return harness.view().pageView() && !*harness.session->isLoading; }));
    stillFound("the first page");

    // A window the page opens, shown in the sheet and closed.
    static_cast<void>(runTask(harness.session->evaluate("window.open('/popup', 'one', 'width=400')")));
    ASSERT_TRUE(spinUntil([&] { return harness.view().sheet() != nullptr; }));
    waitUntilDrawn(*harness.window);
    harness.view().closeSheet();
    ASSERT_TRUE(spinUntil([&] { return !harness.view().sheet() && harness.session->popups->empty(); }));
    stillFound("a window of the page");
}

// The page's own controls are out of a reader's reach: the page's view names
// the one the keyboard comes back to when the window it opened closes, a
// stored value in its name by its ${NAME}.
TEST(Accessibility, AReaderHearsThePageControlTheKeyboardComesBackToWhenTheSheetCloses) {
    WITH_SCREEN_READER();
    auto* input = RealInput::get();
    WindowHarness harness;
    harness.session->setVariables({{"127.0.0.1", {{"TOKEN", "hunter2-xyz"}}}});
    harness.server.serve("/opener", "<!doctype html><input aria-label=Before><button onclick=\"window.open('/popup', "
                                    "'one', 'width=400')\">Open the window hunter2-xyz</button>");
    ASSERT_TRUE(harness.openInBar(harness.server.url("/opener")));
    harness.session->ensureWindowDelegate();
    input->focus(GTK_WIDGET(harness.window->gobj()));
    Gtk::Widget& page = *Glib::wrap(GTK_WIDGET(harness.session->page->get()));
    page.grab_focus();
    static_cast<void>(runTask(harness.session->evaluate("document.querySelector('button').focus()")));
    FocusReader reader;

    input->key("Return");
    ASSERT_TRUE(spinUntil([&] { return harness.view().sheet() && holdsFocus(*harness.view().sheet()); }));
    input->key("Escape");
    ASSERT_TRUE(spinUntil([&] { return !harness.view().sheet() && holdsFocus(page); }));
    FocusReader::Heard heard;
    do heard = reader.next();
    while (!heard.name.empty() && heard.name != "Page");
    EXPECT_EQ(heard.name, "Page");
    EXPECT_EQ(heard.description, "Open the window ${TOKEN}, button");
}
