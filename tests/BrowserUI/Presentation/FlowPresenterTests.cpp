#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserUI/Presentation/FlowRowText.h"
#include "BrowserUI/Presentation/RecorderState.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace vesk;
using namespace vesk::ui;
using Status = StepResult::Status;

namespace {

Flow flowOf(std::size_t steps) {
    Flow flow{.name = "Login"};
    flow.steps.resize(steps);
    return flow;
}

FlowReport reportOf(std::vector<Status> statuses) {
    FlowReport report{.name = "Login"};
    for (auto& status : statuses)
        report.steps.push_back(StepResult{.status = std::move(status)});
    return report;
}

} // namespace

TEST(FlowRowText, ResultTextAndStepMarksFollowTheReport) {
    Flow flow = flowOf(3);
    EXPECT_EQ(flowResultText(flow.steps.size(), nullptr), (ColouredText{"3 steps", "secondaryText"}));
    FlowReport passed = reportOf({Status::passed(), Status::passed(), Status::passed()});
    EXPECT_EQ(flowResultText(flow.steps.size(), &passed), (ColouredText{"passed · 3 steps", "green"}));
    FlowReport failed = reportOf({Status::passed(), Status::failed("The button is gone"), Status::skipped()});
    EXPECT_EQ(flowResultText(flow.steps.size(), &failed), (ColouredText{"failed · 1 of 3 steps", "red"}));

    auto results = stepResults(flow.steps.size(), &failed);
    const std::pair<const char*, const char*> marks[] = {{"✓", "green"}, {"✗", "red"}, {"–", "faintText"}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_STREQ(stepMark(results[i]).mark, marks[i].first);
        EXPECT_STREQ(stepMark(results[i]).colour, marks[i].second);
    }
    // A report with fewer results than steps leaves the rest not run.
    FlowReport short_ = reportOf({Status::passed()});
    results = stepResults(flow.steps.size(), &short_);
    EXPECT_STREQ(stepMark(results[0]).mark, "✓");
    EXPECT_EQ(stepMark(results[2]).accessibleLabel, "Not run");
    EXPECT_STREQ(stepMark(results[2]).mark, "○");
}

TEST(RecorderState, StatesNamesAndTheReplaceWarning) {
    EXPECT_EQ(recorderMode(true, true, std::string()), RecorderMode::recording);
    EXPECT_EQ(recorderMode(false, true, std::nullopt), RecorderMode::unsaved);
    EXPECT_EQ(recorderMode(false, false, std::string()), RecorderMode::naming);
    EXPECT_EQ(recorderMode(false, false, std::nullopt), RecorderMode::idle);
    EXPECT_EQ(trimmedFlowName(" \tLog in \u00A0"), "Log in");
    EXPECT_EQ(trimmedFlowName("Log in\n"), "Log in\n");

    gchar* made = g_dir_make_tmp("vesk-recorder-XXXXXX", nullptr);
    std::filesystem::path folder = made;
    g_free(made);
    FlowStore flows(folder, folder);
    flows.save(flowOf(1));
    // a.json holds a flow named "Checkout": the name's file, not the flow's name, decides.
    std::ofstream(folder / "a.json") << Flow{.name = "Checkout"}.encoded();
    flows.reload();
    for (const auto& [name, warns] :
         {std::pair{"Login", true}, {"LOGIN!", true}, {"log-in", false}, {"Checkout", false}, {"a", true}}) {
        EXPECT_EQ(replacesSavedFlow(flows, name), warns) << name;
    }
    std::filesystem::remove_all(folder);
}
