#include "BrowserMCP/MCPServer.h"
#include "BrowserUI/RealKeys.h"
#include "BrowserUI/SidePanel/FlowRow.h"
#include "BrowserUI/SidePanel/FlowsPanel.h"
#include "BrowserUI/SidePanel/LogPanel.h"
#include "BrowserUI/SidePanel/Recorder.h"
#include "BrowserUI/SidePanel/SidePanelView.h"
#include "BrowserUI/Window/PageView.h"
#include "BrowserUI/Window/PopupView.h"
#include "BrowserUI/Window/StartView.h"
#include "BrowserUI/WindowHarness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

using namespace vesk;
using namespace vesk::test;

namespace {

nlohmann::json callTool(MCPServer& server, const std::string& name) {
    std::string line = R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":")" + name +
                       R"(","arguments":{}}})";
    auto reply = runTask(server.handle(line));
    return nlohmann::json::parse(reply.value())["result"];
}

} // namespace

TEST(BrowserWindow, TheStartViewOpensATypedAddressAndTheBarFollowsThePage) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "no display";
    WindowHarness harness;
    auto* start = harness.view().startView();
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->headText(), "New session · profile temporary");
    EXPECT_EQ(harness.bar().statusText(), "agent: idle · Ctrl+J");
    EXPECT_FALSE(harness.bar().canPress("back") || harness.bar().canPress("forward") || harness.bar().canPress("reload"));

    // A text that is no URL: the error under the field, the text kept, and
    // the next Return clears the message before it tries again.
    start->addressField().set_text("exa mple");
    start->submitAddress();
    ASSERT_TRUE(spinUntil([&] { return start->failureText().has_value(); }));
    EXPECT_EQ(start->failureText(), "Invalid URL: exa mple");
    EXPECT_EQ(start->addressField().get_text(), "exa mple");

    std::string first = harness.server.url("/");
    start->addressField().set_text(" " + first.substr(0, first.size() - 1) + "\t");
    start->submitAddress();  // the page replaces the start view at once
    ASSERT_TRUE(spinUntil([&] { return harness.view().pageView() != nullptr && !*harness.session->isLoading; }));
    EXPECT_EQ(harness.view().startView(), nullptr);
    // The window shows the page's own web view, off its stage.
    EXPECT_EQ(harness.view().pageView()->webView(), harness.session->page->get());
    EXPECT_FALSE(harness.session->stages->contains(harness.session->page->get()));
    ASSERT_TRUE(spinUntil([&] { return harness.bar().showsFormattedAddress(); }));
    EXPECT_EQ(harness.bar().formattedAddressText(), "127.0.0.1/");

    // Back, forward and reload follow the page; the buttons follow history.
    ASSERT_TRUE(harness.openInBar(harness.server.url("/second")));
    ASSERT_TRUE(spinUntil([&] { return harness.bar().canPress("back"); }));
    EXPECT_FALSE(harness.bar().canPress("forward"));
    ASSERT_TRUE(harness.bar().goBack());
    // Each move waits for the load before the next, as a person's would.
    ASSERT_TRUE(spinUntil([&] { return harness.session->url.get() == first && harness.bar().canPress("forward") && harness.bar().canPress("reload"); }));
    ASSERT_TRUE(harness.bar().goForward());
    ASSERT_TRUE(spinUntil([&] { return harness.session->url.get() == harness.server.url("/second") && harness.bar().canPress("reload"); }));
    // WebKit may reload from its cache: the page loading again is the sign.
    bool loaded = false;
    auto watch = harness.session->isLoading.changed().connect([&] { loaded = loaded || *harness.session->isLoading; });
    ASSERT_TRUE(harness.bar().reload());
    ASSERT_TRUE(spinUntil([&] { return loaded && !*harness.session->isLoading; }));
    watch.disconnect();

    // A refused scheme is the session's error, shown under the bar; the page stays.
    harness.bar().addressField().set_text("ftp://host/");
    harness.bar().submitAddress();
    ASSERT_TRUE(spinUntil([&] { return harness.bar().failureText().has_value(); }));
    EXPECT_EQ(harness.bar().failureText(), "Invalid URL: ftp://host/");
    EXPECT_EQ(harness.session->url.get(), harness.server.url("/second"));
    EXPECT_EQ(harness.bar().formattedAddressText(), "127.0.0.1/second");
}

TEST(BrowserWindow, ANavigationThatEndsAfterItsViewIsGoneDoesNothing) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "no display";
    WindowHarness harness;
    harness.server.serve("/held", LoopbackServer::Response{.delay = seconds(0.3)});
    harness.view().startView()->addressField().set_text(harness.server.url("/held"));
    harness.view().startView()->submitAddress();
    harness.window.reset();
    ASSERT_TRUE(spinUntil([&] { return harness.server.hits("/held") == 1 && !*harness.session->isLoading; }));
    EXPECT_TRUE(harness.session->stages->contains(harness.session->page->get())) << "the page went back to its stage";
}

TEST(BrowserWindow, ShortcutsActWhereverTheFocusIs) {
    ON_PRIVATE_DISPLAY();
    auto* input = RealInput::get();
    WindowHarness harness;
    ASSERT_TRUE(harness.openInBar(harness.server.url("/")));
    ASSERT_TRUE(harness.openInBar(harness.server.url("/second")));
    ASSERT_TRUE(harness.openInBar(harness.server.url("/")));
    // The keyboard is in the page's text field.
    input->focus(GTK_WIDGET(harness.window->gobj()));
    gtk_widget_grab_focus(GTK_WIDGET(harness.session->page->get()));
    ASSERT_TRUE(spinUntil([&] { return gtk_widget_has_focus(GTK_WIDGET(harness.session->page->get())); }));

    input->key("j", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return harness.view().sidePanel() != nullptr; }));
    EXPECT_TRUE(dynamic_cast<ui::LogPanel*>(harness.view().sidePanel()->content()));
    EXPECT_FALSE(harness.view().sidePanel()->tabIsSelected(ui::SidePanel::flows));

    // While paused, a tool call is refused with the person's words and not logged.
    MCPServer server(harness.session.get(), harness.activity, nullptr, nullptr);
    input->key("period", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return *harness.activity.isPaused; }));
    EXPECT_EQ(harness.view().sidePanel()->pauseText(), "Ctrl+. resume");
    EXPECT_EQ(harness.bar().statusText(), "agent: paused");
    auto refused = callTool(server, "console");
    EXPECT_EQ(refused["isError"], true);
    EXPECT_EQ(refused["content"][0]["text"], MCPServer::pausedText);
    EXPECT_TRUE(harness.activity.entries().empty());
    input->key("period", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return !*harness.activity.isPaused; }));
    EXPECT_EQ(harness.view().sidePanel()->pauseText(), "Ctrl+. stop");
    auto answered = callTool(server, "console");
    EXPECT_EQ(answered["isError"], false);
    auto* log = dynamic_cast<ui::LogPanel*>(harness.view().sidePanel()->content());
    ASSERT_EQ(log->rows()->get_n_items(), 1u);
    EXPECT_EQ(log->rows()->get_item(0)->entry.tool, "console");
    EXPECT_TRUE(log->showsSummary());

    ASSERT_TRUE(spinUntil([&] { return harness.bar().canPress("back"); }));
    input->key("Left", "Alt_L");
    ASSERT_TRUE(spinUntil([&] { return harness.session->url.get() == harness.server.url("/second") && harness.bar().canPress("forward") && harness.bar().canPress("reload"); }));
    input->key("Right", "Alt_L");
    ASSERT_TRUE(spinUntil([&] { return harness.session->url.get() == harness.server.url("/"); }));
    ASSERT_TRUE(spinUntil([&] { return harness.bar().canPress("reload"); }));
    bool loaded = false;
    auto watch = harness.session->isLoading.changed().connect([&] { loaded = loaded || *harness.session->isLoading; });
    input->key("r", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return loaded && !*harness.session->isLoading; }));
    watch.disconnect();
    input->key("l", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return harness.bar().addressFocused(); }));
    EXPECT_FALSE(harness.bar().showsFormattedAddress());
    EXPECT_EQ(std::string(harness.bar().addressField().get_text()), harness.server.url("/"));

    input->key("j", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return harness.view().sidePanel() == nullptr; }));
}

TEST(BrowserWindow, ThePopupSheetLendsTheLastPopupAndEscapeClosesJustIt) {
    ON_PRIVATE_DISPLAY();
    auto* input = RealInput::get();
    WindowHarness harness;
    ASSERT_TRUE(harness.openInBar(harness.server.url("/")));
    harness.session->ensureWindowDelegate();
    static_cast<void>(runTask(harness.session->evaluate("openTwo()")));
    ASSERT_TRUE(spinUntil([&] { return harness.session->popups->size() == 2 && harness.view().sheet(); }));
    auto popups = *harness.session->popups;
    auto* sheet = harness.view().sheet();
    ASSERT_EQ(sheet->webView(), popups[1].get());
    EXPECT_EQ(GTK_WINDOW(gtk_widget_get_root(GTK_WIDGET(popups[1].get()))), harness.window->gobj());
    EXPECT_FALSE(harness.session->stages->contains(popups[1].get()));
    ASSERT_TRUE(spinUntil([&] { return harness.view().sheet()->hostText() == "127.0.0.1"; }));
    EXPECT_TRUE(sheet->showsAgentMark());
    harness.activity.isPaused.set(true);
    EXPECT_FALSE(harness.view().sheet()->showsAgentMark());
    harness.activity.isPaused.set(false);

    input->focus(GTK_WIDGET(harness.window->gobj()));
    gtk_widget_grab_focus(GTK_WIDGET(popups[1].get()));
    input->key("Escape");
    ASSERT_TRUE(spinUntil([&] { return harness.session->popups->size() == 1; }));
    EXPECT_EQ(harness.session->popups->front(), popups[0]);
    ASSERT_TRUE(spinUntil([&] { return harness.view().sheet() && harness.view().sheet()->webView() == popups[0].get(); }));
    // The first popup was never the active window after the second opened.
    EXPECT_FALSE(harness.view().sheet()->showsAgentMark() && *harness.session->activePopup != popups[0]);

    // Commands on the main page: no mark.
    harness.session->selectWindow(BrowserSession::mainWindowID);
    EXPECT_FALSE(harness.view().sheet()->showsAgentMark());
    input->key("Escape");
    ASSERT_TRUE(spinUntil([&] { return harness.session->popups->empty() && !harness.view().sheet(); }));
}

TEST(BrowserWindow, WithoutAClientThePopupSheetNeverSaysTheAgentActs) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "no display";
    WindowHarness harness(nullptr, false);
    ASSERT_TRUE(harness.openInBar(harness.server.url("/")));
    harness.session->ensureWindowDelegate();
    static_cast<void>(runTask(harness.session->evaluate("window.open('/popup', 'one')")));
    ASSERT_TRUE(spinUntil([&] { return harness.view().sheet() && harness.view().sheet()->hostText() == "127.0.0.1"; }));
    // Commands would act on it, had there been an agent to send them.
    ASSERT_EQ(*harness.session->activePopup, harness.session->popups->back());
    EXPECT_FALSE(harness.view().sheet()->showsAgentMark());
    harness.activity.isPaused.set(true);
    harness.activity.isPaused.set(false);
    EXPECT_FALSE(harness.view().sheet()->showsAgentMark());
}

TEST(BrowserWindow, TheKeyboardGoesIntoThePopupSheetGoesRoundItAndComesBackWhenItCloses) {
    ON_PRIVATE_DISPLAY();
    auto* input = RealInput::get();
    WindowHarness harness;
    harness.server.serve("/form", "<!doctype html><input id=a autofocus><input id=b>");
    ASSERT_TRUE(harness.openInBar(harness.server.url("/")));
    harness.session->ensureWindowDelegate();
    input->focus(GTK_WIDGET(harness.window->gobj()));
    input->key("l", "Control_L");
    ASSERT_TRUE(spinUntil([&] { return harness.bar().addressFocused(); }));
    auto focus = [&] { return gtk_root_get_focus(GTK_ROOT(harness.window->gobj())); };
    GtkWidget* address = focus();

    static_cast<void>(runTask(harness.session->evaluate("window.open('/form', 'form', 'width=400,height=300')")));
    ASSERT_TRUE(spinUntil([&] { return harness.view().sheet() != nullptr; }));
    auto* sheet = harness.view().sheet();
    GtkWidget* page = GTK_WIDGET(sheet->webView());
    GtkWidget* close = sheet->closeButton().gobj();
    ASSERT_TRUE(spinUntil([&] { return focus() == page; }));
    ASSERT_TRUE(spinUntil([&] { return sheet->hostText() == "127.0.0.1" && !webkit_web_view_is_loading(sheet->webView()); }));
    auto inPage = [&](const char* id) {
        return runTask(harness.session->evaluate("return document.activeElement.id")) == std::string("\"") + id + "\"";
    };
    // What the person types goes to the window's page, once its field has
    // taken the focus it asks for: the engine gives it when it next draws,
    // which a busy machine may do after the load has ended.
    ASSERT_TRUE(spinUntil([&] { return inPage("a"); }));
    input->type("hi");
    ASSERT_TRUE(spinUntil([&] { return runTask(harness.session->evaluate("return a.value")) == "\"hi\""; }));

    // Tab and Shift+Tab go round the page's fields and the close button, one
    // step a key (the page with no field of its own focused is one), never
    // to the window behind.
    std::vector<GtkWidget*> moves;
    auto watch = harness.window->property_focus_widget().signal_changed().connect([&] {
        if (focus()) moves.push_back(focus());
    });
    using Step = std::pair<const char*, std::function<bool()>>;
    for (auto& [modifier, reached] : std::vector<Step>{
             {nullptr, [&] { return inPage("b"); }}, {nullptr, [&] { return focus() == close; }},
             {nullptr, [&] { return focus() == page; }}, {nullptr, [&] { return inPage("a"); }},
             {"Shift_L", [&] { return focus() == close; }}, {"Shift_L", [&] { return focus() == page; }},
             {"Shift_L", [&] { return inPage("b"); }}, {"Shift_L", [&] { return inPage("a"); }}}) {
        input->key("Tab", modifier);
        ASSERT_TRUE(spinUntil(reached)) << G_OBJECT_TYPE_NAME(focus()) << " after " << moves.size() << " moves";
    }
    watch.disconnect();
    EXPECT_EQ(moves, (std::vector<GtkWidget*>{close, page, close, page}));

    // Escape from inside the page closes the sheet; the keyboard goes back.
    input->key("Escape");
    ASSERT_TRUE(spinUntil([&] { return !harness.view().sheet() && focus() == address; }));
}

TEST(BrowserWindow, TheStartViewListsEightFlowsAndAClickReplaysOneInTheFlowsPanel) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "no display";
    WindowHarness harness;
    FlowStep load{FlowStep::Action::navigate, std::nullopt, harness.server.url("/second"), std::nullopt, std::nullopt};
    for (int i = 10; i >= 0; --i) harness.flows.save(Flow{"flow " + std::to_string(i), {load}});
    auto* start = harness.view().startView();
    ASSERT_TRUE(spinUntil([&] { return start->flowLines().size() == 8; }));
    EXPECT_EQ(start->flowLines()[0], "flow   flow 0 · 1 steps");
    EXPECT_EQ(start->flowLines()[7], "flow   flow 7 · 1 steps");

    // The person's own replay runs on while the agent is paused.
    harness.activity.isPaused.set(true);
    start->replay(2);
    EXPECT_EQ(harness.view().panel.get(), ui::SidePanel::flows);
    EXPECT_EQ(harness.view().playback.running.get(), "flow 2");
    // Ignored while flow 2 plays (through the playback: the start view may
    // already have given way to the page).
    harness.view().playback.replayFlow(harness.flows.flows()[3].flow(), harness.session);
    ASSERT_TRUE(spinUntil([&] { return !harness.view().playback.running->has_value(); }));
    EXPECT_TRUE(harness.view().playback.reports->at("flow 2").passed());
    EXPECT_EQ(harness.session->url.get(), harness.server.url("/second"));
    EXPECT_FALSE(harness.view().playback.reports->contains("flow 3"));

    // The flows tab shows the window's replay: the played flow's row, open, with its result.
    auto* panel = dynamic_cast<ui::FlowsPanel*>(harness.view().sidePanel()->content());
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(spinUntil([&] {
        for (ui::FlowRow* row : panel->rows())
            if (row->flow().name == "flow 2") return row->resultLabel().get_text().find("passed") == 0;
        return false;
    }));
}

TEST(BrowserWindow, ARecordingWhoseSaveFailsAfterTheFlowsTabClosedIsOfferedAgainUnsaved) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "no display";
    WindowHarness harness;
    ASSERT_TRUE(harness.openInBar(harness.server.url("/")));
    // A file that is not a flow holds the name's file: the save fails.
    std::filesystem::create_directories(harness.flowsFolder);
    std::ofstream(harness.flowsFolder / "blocked.json") << "not a flow";
    auto flowsTab = [&] {
        harness.view().panel.set(ui::SidePanel::flows);
        return &dynamic_cast<ui::FlowsPanel*>(harness.view().sidePanel()->content())->recorder();
    };
    ui::Recorder* card = flowsTab();
    harness.session->recordStart("Blocked");
    ASSERT_TRUE(spinUntil([&] { return card->stopButton() != nullptr; }));
    g_signal_emit_by_name(card->stopButton()->gobj(), "clicked");
    // The tab closes while the session hands the flow back.
    harness.view().panel.set(ui::SidePanel::activity);
    ASSERT_TRUE(spinUntil([&] { return !harness.session->isRecording() && !harness.view().unsavedRecordings->get().empty(); }));

    card = flowsTab();
    ASSERT_TRUE(spinUntil([&] { return card->nameField() != nullptr; }));
    ASSERT_NE(card->unsaved(), nullptr);
    EXPECT_EQ(card->unsaved()->name, "Blocked");
    EXPECT_EQ(card->unsaved()->steps.size(), 1u); // the opening navigate
    EXPECT_EQ(card->failure().value_or("").rfind("blocked.json", 0), 0u) << card->failure().value_or("no failure");
    card->nameField()->set_text("Kept");
    g_signal_emit_by_name(card->recordButton()->gobj(), "clicked");
    ASSERT_TRUE(spinUntil([&] { return card->unsaved() == nullptr && harness.flows.flowNamed("Kept").has_value(); }));
    EXPECT_FALSE(card->failure());
}
