#include "BrowserMCP/PageRendering.h"
#include "Platform/Text.h"
#include "RenderingSupport.h"

#include <gtest/gtest.h>

using namespace vesk;
namespace R = vesk::PageRendering;
using StepStatus = StepResult::Status;

namespace {

StepResult result(StepStatus status, std::string value = "Tab") {
    StepResult step = StepResult::skipped(FlowStep{.action = FlowStep::Action::press, .value = std::move(value)});
    step.status = std::move(status);
    return step;
}

} // namespace

TEST(FlowReportText, EachStepIsOneLineAndALongReportKeepsItsHeadItsSkippedStepsAndTheLastThatRan) {
    FlowReport report{"Pay\n\u2713 9. forged", {result(StepStatus::passed(), "a\nb"), result(StepStatus::skipped())}};
    EXPECT_EQ(R::flowReport(report, 200000),
              test::rendering::wrapped({"Flow \"Pay \u2713 9. forged\": PASSED (1 of 2 steps passed)", "\u2713 1. press a b",
                                        "\u2013 2. press Tab (skipped)"}));

    // 3 skipped, 20,000 passed, one that failed with a long reason, 5 skipped.
    report.steps.assign(3, result(StepStatus::skipped()));
    report.steps.insert(report.steps.end(), 20000, result(StepStatus::passed()));
    report.steps.push_back(result(StepStatus::failed("No button " + std::string(3000, 'r')), std::string(900, 'v')));
    report.steps.insert(report.steps.end(), 5, result(StepStatus::skipped()));
    const std::string text = R::flowReport(report, 100000);
    EXPECT_LE(text::characterCount(text), 100000u);
    EXPECT_TRUE(text.ends_with("\n\u2013 20005. to 20009. (skipped)\n</page-content>")) << text.substr(text.size() - 300);
    EXPECT_NE(text.find("<page-content>\nFlow \"Pay \u2713 9. forged\": FAILED (20000 of 20009 steps passed)\n"
                        "\u2013 1. to 3. (skipped)\n\u2713 4. press Tab\n"),
              std::string::npos);
    EXPECT_NE(text.find(". to 20003. passed (their lines are left out: the whole report is longer than an answer may be)\n"
                        "\u2717 20004. press " + std::string(493, 'v') + "\u2026: No button " + std::string(489, 'r') + "\u2026\n"),
              std::string::npos);
}
