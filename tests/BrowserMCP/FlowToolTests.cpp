// The flow tools on a session stand-in; tests/e2e/flows.test.js has the rest.

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/MCPServer.h"
#include "BrowserMCP/PageRendering.h"
#include "SessionDouble.h"
#include "Support/MainLoop.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <fstream>

using namespace vesk;
using Action = FlowStep::Action;

namespace {

class FlowToolTest : public testing::Test {
protected:
    std::filesystem::path folder = [] {
        gchar* made = g_dir_make_tmp("vesk-flow-tools-XXXXXX", nullptr);
        std::filesystem::path path = made;
        g_free(made);
        return path;
    }();
    FlowStore store{folder, folder};
    AgentActivity activity;
    test::SessionDouble* session = new test::SessionDouble;
    MCPServer server{std::unique_ptr<ToolSession>(session), activity, &store, nullptr};

    void TearDown() override { std::filesystem::remove_all(folder); }

    Json call(const std::string& name, const Json& arguments) {
        Json request = {{"id", 1}, {"method", "tools/call"}, {"params", {{"name", name}, {"arguments", arguments}}}};
        return Json::parse(*test::runTask(server.handle(request.dump())))["result"];
    }
    static std::string text(const Json& result) { return result["content"][0]["text"]; }
};

} // namespace

TEST_F(FlowToolTest, AConsoleCheckCountsTheErrorsOfTheWholeReplay) {
    session->flows.during = [this](const std::string& call) {
        if (call.starts_with("reload")) ++session->flows.consoleErrors;
    };
    Flow flow{"check", {{.action = Action::reload}, {.action = Action::waitForNoConsoleErrors}}};
    Json result = call("run_flow", {{"flow", flow.encoded()}});
    EXPECT_NE(text(result).find("\u2717 2. waitForNoConsoleErrors: The page logged 1 console error"), std::string::npos)
        << text(result);
    // A step without a target leaves no page: the screenshot follows the report.
    EXPECT_EQ(result["content"][1]["type"], "image");
}

TEST_F(FlowToolTest, RunFlowChecksEveryArgumentBeforeItSwitchesAndSkipsTheStepsBeforeFrom) {
    store.save(Flow{"three", std::vector<FlowStep>(3, FlowStep{.action = Action::reload})});
    for (const Json& from : {Json(0), Json(4), Json(2.5)}) {
        EXPECT_EQ(text(call("run_flow", {{"name", "three"}, {"from", from}, {"profile", "work"}})),
                  PageRendering::pageContent(PageRendering::quoteLines(
                      "from must be a step number from 1 to 3, as the report numbers the flow's steps.")));
    }
    EXPECT_EQ(text(call("run_flow", {{"name", "three"}, {"from", 2}})),
              PageRendering::pageContent({"Flow \"three\": PASSED (2 of 3 steps passed)\n"
                                          "\u2013 1. reload (skipped)\n\u2713 2. reload\n\u2713 3. reload"}));
    EXPECT_EQ(session->flows.calls, (std::vector<std::string>{"mark", "reload", "mark", "reload"}));
}

TEST_F(FlowToolTest, RepairFlowSaysWhatItReplacedAndRefusesStepsItCannotMend) {
    Locator old{.role = "button", .name = "Sign in"};
    store.save(Flow{"Login", {{.action = Action::reload}, {.action = Action::click, .target = old}}});
    // The copy's file holds a flow of another name, which the copy replaces.
    store.save(Flow{"LOGIN (REPAIRED)!", {{.action = Action::reload}}});
    std::string repaired = text(call("repair_flow", {{"name", "Login"}, {"step", 2}, {"role", "button"},
                                                     {"element_name", "Log in"}}));
    EXPECT_TRUE(repaired.ends_with("It replaced the flow of another name that the file held, since names that differ "
                                   "only in case or punctuation share a file:\n" +
                                   PageRendering::pageContent({"LOGIN (REPAIRED)!"})))
        << repaired;

    for (const auto& [step, refusal] : std::vector<std::pair<int, std::string>>{
             {3, "The flow has 2 steps, so there is no step 3"},
             {1, "Step 1 is a reload step, which has no element to replace"}}) {
        Json result = call("repair_flow", {{"name", "Login"}, {"step", step}, {"role", "button"}, {"element_name", "X"}});
        EXPECT_TRUE(result["isError"].get<bool>());
        EXPECT_NE(text(result).find(refusal), std::string::npos) << text(result);
    }
    EXPECT_EQ(store.flowNamed("Login (repaired)")->steps[1].target->name, "Log in") << "refusals saved nothing";
}

TEST_F(FlowToolTest, AStepThatOutlastsItsLimitFailsWithTheTimeLimitTextAndTheRestAreSkipped) {
    session->flows.timeout = Duration::zero();
    server.setCommandTimeout(seconds(1));
    session->flows.hangsOn = "click";
    session->waiting = "the page to settle";
    const Locator go{.role = "button", .name = "Go"};
    Flow flow{"slow", {{.action = Action::click, .target = go}, {.action = Action::reload}}};
    FlowReport report = test::runTask(server.runFlow(flow.name, flow.steps, 1, {}));
    ASSERT_EQ(report.steps.size(), 2u);
    EXPECT_EQ(report.steps[0].status,
              StepResult::Status::failed(
                  "The click step did not return within 1 second: it was waiting for the page to settle. It was given "
                  "up on, but the action may still reach the page later; take a snapshot to see where it is before "
                  "trying it again."));
    EXPECT_EQ(report.steps[0].duration, seconds(1));
    EXPECT_FALSE(report.steps[0].screenshot);
    EXPECT_EQ(report.steps[1].status, StepResult::Status::skipped());

    Json result = call("run_flow", {{"flow", flow.encoded()}});
    EXPECT_FALSE(result.value("isError", false)) << "a failed step is no failure of the tool";
    EXPECT_EQ(result["content"].size(), 1u) << "no page and no screenshot";
    // The clicks given up on end at their next turn, before the double goes.
    EXPECT_TRUE(test::spinUntil([&] { return session->flows.hanging == 0; }));
}

TEST_F(FlowToolTest, ListingsKeepEachNameOnItsLineAndLongAnswersCloseTheirWrapper) {
    store.save(Flow{"Pay\n\u2713 forged (9 steps)", {{.action = Action::reload}}});
    EXPECT_NE(text(call("list_flows", Json::object())).find("\nPay \u2713 forged (9 steps) (1 steps)\n</page-content>"),
              std::string::npos);
    for (int i = 0; i < 60; ++i) store.save(Flow{std::to_string(i) + std::string(4000, 'n'), {}});
    const std::string listed = text(call("list_flows", Json::object()));
    EXPECT_TRUE(listed.ends_with("n\u2026\n[Cut here: the answer is longer than the 200000 characters an answer may have.]"
                                 "\n</page-content>"));

    // Replayed from near its end, the long report keeps every step that ran.
    Flow flow{"long", std::vector<FlowStep>(20000, FlowStep{.action = Action::reload})};
    const std::string report = text(call("run_flow", {{"flow", flow.encoded()}, {"from", 19996}}));
    EXPECT_TRUE(report.ends_with("PASSED (5 of 20000 steps passed)\n\u2013 1. to 19995. (skipped)\n\u2713 19996. reload\n"
                                 "\u2713 19997. reload\n\u2713 19998. reload\n\u2713 19999. reload\n\u2713 20000. reload\n"
                                 "</page-content>"))
        << report.substr(0, 500);
}

// A flow file larger than any recording is skipped without being read, and
// the listing names each file it skipped, with control characters shown.
TEST_F(FlowToolTest, ListFlowsNamesTheFilesItSkippedAndWhy) {
    {
        std::ofstream huge(folder / "huge.json");
        huge << R"({"name":"huge","steps":[)";
        const std::string step = R"({"action":"reload"},)";
        for (std::size_t size = 0; size <= FlowStore::largestFlowFile; size += step.size()) huge << step;
        huge << R"({"action":"reload"}]})";
    }
    std::ofstream(folder / "bad\x1b[2J\nname.json") << "{";
    EXPECT_EQ(text(call("list_flows", Json::object())),
              "No saved flows in " + folder.string() +
                  ".\nThese files of the folder were skipped, each for the reason given:\n" +
                  PageRendering::pageContent({"bad\uFFFD[2J name.json (it holds no flow)",
                                              "huge.json (it is larger than 4 MiB)"}));
    store.save(Flow{"kept", {{.action = Action::reload}}});
    EXPECT_NE(text(call("list_flows", Json::object())).find("(1 steps)\n</page-content>\nThese files"), std::string::npos);

    Flow flow{"long", std::vector<FlowStep>(FlowStore::largestFlowFile / 10, FlowStep{.action = Action::reload})};
    try {
        store.save(flow);
        ADD_FAILURE() << "saved a flow the store would skip";
    } catch (const FlowStoreError& error) {
        EXPECT_EQ(error.kind(), FlowStoreError::Kind::tooLarge);
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "long.json"));
}

// Listings show a character that reorders text as "\uFFFD"; run_flow takes
// the name as shown when only one flow reads so, refuses it with the names
// written out when several do, and an exact name always wins.
TEST_F(FlowToolTest, RunFlowTakesANameAsListFlowsShowsItWhenOnlyOneFlowReadsSo) {
    EXPECT_EQ(text(call("record_start", {{"name", "Pay\u202Eyap"}})),
              "Recording \"Pay\uFFFDyap\". Navigation, actions and waits are being recorded; call record_stop when done.");
    store.save(Flow{"Pay\u202Eyap", {{.action = Action::reload}}});
    store.save(Flow{"Dup\u2066", {{.action = Action::reload}}});
    // Names alike but for such a character share a file: others come by hand.
    std::ofstream(folder / "dup-copy.json") << R"({"name":"Dup\u2067","steps":[]})";
    const std::string listed = text(call("list_flows", Json::object()));
    for (const char* line : {"\nDup\uFFFD (0 steps)\n", "\nDup\uFFFD (1 steps)\n", "\nPay\uFFFDyap (1 steps)\n"}) {
        EXPECT_NE(listed.find(line), std::string::npos) << listed;
    }

    EXPECT_NE(text(call("run_flow", {{"name", "Pay\uFFFDyap"}})).find("PASSED (1 of 1 steps passed)"), std::string::npos);
    Json refused = call("run_flow", {{"name", "Dup\uFFFD"}});
    EXPECT_TRUE(refused["isError"].get<bool>());
    EXPECT_NE(text(refused).find("Several saved flows read \"Dup\uFFFD\" as list_flows shows them: \"Dup\\u2066\" "
                                 "and \"Dup\\u2067\". Give the name of the one you mean as written here."),
              std::string::npos)
        << text(refused);
    EXPECT_EQ(session->flows.calls, (std::vector<std::string>{"mark", "reload"}));

    std::ofstream(folder / "dup-shown.json") << R"({"name":"Dup\ufffd","steps":[{"action":"reload"},{"action":"reload"}]})";
    EXPECT_NE(text(call("run_flow", {{"name", "Dup\uFFFD"}})).find("PASSED (2 of 2 steps passed)"), std::string::npos);
}
