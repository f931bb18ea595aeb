// The flows panel on a real session and a flow store in a temporary folder:
// the list with its empty text and folder footer, a replay that marks every
// step, and deletes that fail (said so, row kept) and work.

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserUI/PanelHarness.h"
#include "BrowserUI/Presentation/FlowPlayback.h"
#include "BrowserUI/SidePanel/FlowRow.h"
#include "BrowserUI/SidePanel/FlowsPanel.h"
#include "Support/LoopbackServer.h"

using namespace vesk;
using namespace vesk::test;

TEST(FlowsPanel, ListsReplaysAndDeletesFlows) {
    PanelHarness harness;
    LoopbackServer server;
    server.serve("/", PanelHarness::page("recorder.html"));
    auto session = PanelHarness::session();
    const auto folder = harness.folder / "Flows";
    FlowStore flows(folder, folder);
    ui::FlowPlayback playback;
    auto& panel = harness.show<ui::FlowsPanel>(session, flows, playback, std::make_shared<ui::UnsavedRecordings>());
    EXPECT_TRUE(panel.rows().empty());
    PanelHarness::picture(panel, "flows-panel-empty");

    Flow signIn{.name = "Sign in"};
    signIn.steps = {FlowStep{.action = FlowStep::Action::navigate, .value = server.url("/")},
                    FlowStep{.action = FlowStep::Action::click, .target = Locator{.role = "button", .name = "Sign in"}},
                    FlowStep{.action = FlowStep::Action::waitForText, .value = "Welcome"}};
    flows.save(signIn);
    ASSERT_TRUE(spinUntil([&] { return panel.rows().size() == 1; }));
    EXPECT_EQ(panel.rows()[0]->resultLabel().get_text(), "3 steps");

    // A replay opens the row and marks each step.
    click(*panel.rows()[0]->replayButton());
    ASSERT_TRUE(spinUntil([&] { return playback.reports->contains("Sign in"); }, seconds(30)));
    ASSERT_TRUE(spinUntil([&] {
        return panel.rows().size() == 1 && panel.rows()[0]->resultLabel().get_text() == "passed · 3 steps";
    }));
    ASSERT_EQ(panel.rows()[0]->stepMarks().size(), 3u);
    for (Gtk::Label* mark : panel.rows()[0]->stepMarks()) EXPECT_EQ(mark->get_text(), "✓");
    PanelHarness::picture(panel, "flows-panel");

    // A delete that fails says why and keeps the row and its report.
    std::filesystem::rename(folder / "sign-in.json", harness.folder / "kept.json");
    panel.deleteFlow(signIn);
    EXPECT_TRUE(panel.failure().has_value());
    EXPECT_TRUE(playback.reports->contains("Sign in"));
    ASSERT_TRUE(spinUntil([&] { return panel.rows().size() == 1; }));
    std::filesystem::rename(harness.folder / "kept.json", folder / "sign-in.json");
    panel.deleteFlow(signIn);
    EXPECT_FALSE(panel.failure().has_value());
    EXPECT_FALSE(playback.reports->contains("Sign in"));
    ASSERT_TRUE(spinUntil([&] { return panel.rows().empty(); }));

    // The footer names the folder in use.
    flows.useDirectory(harness.folder / "Elsewhere");
    EXPECT_NE(std::string(panel.folderButton().get_tooltip_text()).find("Elsewhere"), std::string::npos);
}
