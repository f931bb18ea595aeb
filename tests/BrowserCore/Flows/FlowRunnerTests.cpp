#include "BrowserCore/Flows/FlowRunner.h"
#include "BrowserCore/Flows/StepValues.h"

#include "Platform/Async.h"
#include "Support/FlowSessionDouble.h"
#include "Support/MainLoop.h"

#include <gtest/gtest.h>

using namespace vesk;
using Action = FlowStep::Action;
using Status = StepResult::Status;

namespace {

// The sleep is a turn of the main loop: the replay suspends there, as on the
// real clock, and notices a cancellation.
Task<void> turn() {
    checkCancellation();
    co_await Yield{};
    checkCancellation();
}

Locator button(std::string name) { return {.role = "button", .name = std::move(name), .index = 0}; }

BrowserError notFound() { return BrowserError::element(BrowserError::ElementFailure::notFound, "Not there."); }

class FlowRunnerTest : public testing::Test {
protected:
    test::FlowSessionDouble session;
    Instant clock{};
    FlowRunner runner{.now = [this] { return clock; },
                      .sleep = [this](Duration duration) {
                          clock += duration;
                          return turn();
                      }};

    FlowReport run(std::vector<FlowStep> steps, FlowRunner::Values values = {}) {
        return test::runTask(runner.run(Flow{"Sign in", std::move(steps)}, session, std::move(values)));
    }
};

} // namespace

TEST_F(FlowRunnerTest, TheFirstFailureSkipsTheRestWithThePageKept) {
    EXPECT_EQ(run({}).summary(), "Flow \"Sign in\": PASSED (0 of 0 steps passed)");
    session.locator = [](const Locator& locator, bool) { return FlowSession::Located{"e7", locator.name == "Go"}; };
    session.during = [](const std::string& call) {
        if (call.starts_with("hover")) throw BrowserError::element(BrowserError::ElementFailure::obscured, "Covered.");
    };
    session.page.title = "Shop";
    FlowReport report = run({
        {.action = Action::click, .target = button("Go")},
        {.action = Action::hover, .target = button("Menu")},
        {.action = Action::waitForRequest, .value = "POST /api/items", .status = "201"},
        {.action = Action::fill, .target = button("Name"), .value = "secret words"},
    });
    EXPECT_EQ(report.steps[1].screenshot, session.png);
    EXPECT_EQ(report.steps[1].snapshot->title, "Shop");
    EXPECT_EQ(report.steps[3].status, Status::skipped());
    EXPECT_EQ(report.summary(),
              "Flow \"Sign in\": FAILED (1 of 4 steps passed)\n"
              "\u2713 1. click button \"Go\" (its name changed; found by selector)\n"
              "\u2717 2. hover button \"Menu\": Covered.\n"
              "\u2013 3. waitForRequest POST /api/items 201 (skipped)\n"
              "\u2013 4. fill button \"Name\" (skipped)");
}

TEST_F(FlowRunnerTest, ActsWithTheValuesChosenAndTheValueAsWritten) {
    session.site = {{"USER", "ada"}, {"SITE", "not this"}};
    run({{.action = Action::select, .target = button("Size"), .value = "${SITE}"}}, {{"SITE", "shop"}});
    EXPECT_EQ(session.calls.back(), "select e1 shop as ${SITE}");
    // One pass: a value put in is never read for references of its own.
    EXPECT_EQ(substitutedStepValue("${A}/${B}/${A.user}/${C", {{"A", "${B}"}, {"B", "b"}, {"A.user", "$"}}), "${B}/b/$/${C");
}

TEST_F(FlowRunnerTest, WaitsGetWhetherToWaitForAnEndTheTimeoutTheValuesAndTheTextAsWritten) {
    session.timeout = seconds(7);
    session.site = {{"ITEM", "Cart"}, {"API", "/api/${OTHER}"}, {"OTHER", "not again"}};
    run({{.action = Action::waitForText, .value = "${ITEM} ready", .absent = true},
         {.action = Action::waitForSelector, .value = "#done"},
         {.action = Action::waitForRequest, .value = "POST ${API}"},
         {.action = Action::waitForRequest, .value = "GET /x", .status = "4xx"},
         {.action = Action::waitForURL, .value = "/${ITEM}"}});
    EXPECT_EQ(session.calls, (std::vector<std::string>{
                                 "mark", "waitForText Cart ready gone within 7 s as ${ITEM} ready",
                                 "mark", "waitForSelector #done within 7 s as #done",
                                 "mark", "waitForRequest POST /api/${OTHER} 2xx within 7 s as POST ${API}",
                                 "mark", "waitForRequest GET /x 4xx within 7 s as GET /x",
                                 "mark", "waitForURL /Cart within 7 s as /${ITEM}"}));
}

TEST_F(FlowRunnerTest, StepsThatCannotRunFailBeforeActing) {
    session.site = {{"HOST", "shop.test"}};
    const std::vector<std::tuple<FlowStep, std::string, std::vector<std::string>>> cases{
        {{.action = Action::click}, "A click step is missing its target", {"mark", "screenshot"}},
        {{.action = Action::select, .target = button("Size")}, "A select step is missing its value",
         {"mark", "locate by name Size", "screenshot", "scan"}},
        {{.action = Action::fill, .target = button("Password"), .value = "${PASSWORD}"},
         "The flow needs a value for the variable PASSWORD on this site",
         {"mark", "locate by name Password", "screenshot", "scan"}},
        // Navigating leaves the site: only the caller's values count.
        {{.action = Action::navigate, .value = "http://${HOST}/"},
         "The flow needs a value for the variable HOST on this site", {"mark", "screenshot"}},
        {{.action = Action::navigate, .value = ""}, "Invalid URL: ", {"mark", "screenshot"}},
    };
    for (const auto& [step, reason, calls] : cases) {
        session.calls.clear();
        FlowReport report = run({step, {.action = Action::reload}});
        EXPECT_EQ(report.steps[0].status, Status::failed(reason));
        EXPECT_EQ(report.steps[1].status, Status::skipped());
        EXPECT_EQ(session.calls, calls) << reason;
    }
}

TEST_F(FlowRunnerTest, LooksByNameAloneForAThirdOfTheLimitThenWithTheSelector) {
    session.timeout = seconds(3);
    std::vector<std::pair<Duration, bool>> attempts;
    session.locator = [&](const Locator&, bool byNameOnly) -> FlowSession::Located {
        attempts.emplace_back(clock - Instant{}, byNameOnly);
        throw notFound();
    };
    FlowReport report = run({{.action = Action::click, .target = button("Go")}});
    EXPECT_EQ(report.steps[0].status, Status::failed("Not there."));
    EXPECT_EQ(report.steps[0].duration, seconds(3));
    ASSERT_EQ(attempts.size(), 31u);  // at 0 s, every 0.1 s, and at 3 s
    for (const auto& [at, byNameOnly] : attempts) EXPECT_EQ(byNameOnly, at < seconds(1)) << toSeconds(at);
}

TEST_F(FlowRunnerTest, NamesTheLastFiveOfTheRequestsThatFailedDuringTheStep) {
    session.ended = 1;
    for (int i = 0; i < 8; ++i) {
        NetworkRequest request{.method = "GET", .url = "http://s/" + std::to_string(i)};
        if (i % 2 == 0) request.status = 500 + i;
        if (i == 3) request.error = "timed out";
        session.failed.push_back(request);
    }
    session.during = [](const std::string&) { throw BrowserError::navigationFailed("hung up"); };
    EXPECT_EQ(run({{.action = Action::reload}}).steps[0].status,
              Status::failed("Navigation failed: hung up; requests that failed during the step (7, the last 5): "
                             "GET \"http://s/3\" timed out, GET \"http://s/4\" 504, GET \"http://s/5\" network error, "
                             "GET \"http://s/6\" 506, GET \"http://s/7\" network error"));
}

TEST_F(FlowRunnerTest, ACancelledReplayFailsTheStepItWasOn) {
    session.locator = [](const Locator&, bool) -> FlowSession::Located { throw notFound(); };
    auto task = runner.run(Flow{"f", {{.action = Action::click, .target = button("Go")}, {.action = Action::reload}}},
                           session, {});
    test::spinUntil([&] { return session.calls.size() >= 3; });
    task.cancel();
    FlowReport report = test::runTask(task);
    EXPECT_EQ(report.steps[0].status, Status::failed(CancellationError().what()));
    EXPECT_EQ(report.steps[1].status, Status::skipped());
}

TEST_F(FlowRunnerTest, PressesOnTheLocatedElementOrWhereTheFocusIs) {
    session.site = {{"KEY", "Enter"}};
    FlowReport report = run({{.action = Action::press, .target = button("Search"), .value = "${KEY}"},
                             {.action = Action::press, .value = "Tab"}});
    EXPECT_TRUE(report.passed());
    EXPECT_EQ(session.calls, (std::vector<std::string>{"mark", "locate by name Search", "press Enter e1 as ${KEY}",
                                                       "mark", "press Tab - as Tab"}));
}
