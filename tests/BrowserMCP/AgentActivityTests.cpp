#include "BrowserMCP/AgentActivity.h"

#include <gtest/gtest.h>

using namespace vesk;

namespace {

const Instant origin = Clock::now();
Instant at(double s) { return origin + seconds(s); }

// Logs a finished call from `start` to `end` seconds.
int call(AgentActivity& log, double start, double end) {
    int id = log.begin("click", "button", at(start));
    log.finish(id, AgentActivity::Entry::Outcome::succeeded(), at(end));
    return id;
}

} // namespace

TEST(AgentActivity, OpensAndClosesEntries) {
    AgentActivity log;
    int changes = 0;
    log.entriesChanged().connect([&] { ++changes; });
    int id = log.begin("navigate", "https://a", at(0));
    EXPECT_EQ(id, 1);
    EXPECT_EQ(log.nextID(), 1);
    ASSERT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(log.entries()[0].outcome.kind, AgentActivity::Entry::Outcome::Kind::running);
    EXPECT_FALSE(log.entries()[0].finished);

    log.finish(id, AgentActivity::Entry::Outcome::failed("Timed out"), at(2));
    EXPECT_EQ(log.entries()[0].finished, at(2));
    EXPECT_EQ(log.entries()[0].outcome, AgentActivity::Entry::Outcome::failed("Timed out"));
    EXPECT_EQ(changes, 2);

    log.finish(99, AgentActivity::Entry::Outcome::succeeded(), at(3));
    EXPECT_EQ(changes, 2);
}

TEST(AgentActivity, KeepsTheLastFiveHundredAndNeverReusesIds) {
    AgentActivity log;
    for (int i = 0; i < 501; ++i) log.begin("click", "", at(i));
    ASSERT_EQ(log.entries().size(), 500u);
    EXPECT_EQ(log.entries().front().id, 2);
    EXPECT_EQ(log.entries().back().id, 501);

    // The dropped first entry cannot be finished any more; nothing changes.
    auto before = log.entries();
    log.finish(1, AgentActivity::Entry::Outcome::succeeded(), at(600));
    EXPECT_EQ(log.entries(), before);
    EXPECT_EQ(log.begin("click", "", at(700)), 502);
}

TEST(AgentActivity, APauseLongerThanRunPauseStartsANewRun) {
    AgentActivity log;
    EXPECT_FALSE(log.currentRun());

    call(log, 0, 10);
    call(log, 130, 131); // exactly 120 s after the previous end: same run
    auto run = log.currentRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->steps, 2);
    EXPECT_EQ(run->started, at(0));
    EXPECT_DOUBLE_EQ(run->elapsed, 131);
    EXPECT_DOUBLE_EQ(run->acting, 11);
    EXPECT_EQ(run->decisions, std::vector<double>{120});

    call(log, 251.001, 252); // 120.001 s: a new run, the old one is gone
    run = log.currentRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->steps, 1);
    EXPECT_EQ(run->started, at(251.001));
    EXPECT_TRUE(run->decisions.empty());
    EXPECT_FALSE(run->medianDecision());
    EXPECT_EQ(run->decisionTotal(), 0);

    log.runPause.set(200);
    EXPECT_EQ(log.currentRun()->steps, 3);
}

TEST(AgentActivity, ARunningCallIsAStepWithoutActingTime) {
    AgentActivity log;
    call(log, 0, 2);
    log.begin("wait_for", "Done", at(5));
    auto run = log.currentRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->steps, 2);
    EXPECT_DOUBLE_EQ(run->acting, 2);
    EXPECT_DOUBLE_EQ(run->elapsed, 5);
    EXPECT_EQ(run->decisions, std::vector<double>{3});
}

TEST(AgentActivity, AnOverlappingStartIsADecisionOfZero) {
    AgentActivity log;
    call(log, 0, 10);
    call(log, 8, 12);
    EXPECT_EQ(log.currentRun()->decisions, std::vector<double>{0});
}

TEST(AgentActivity, MedianDecision) {
    AgentActivity::Run run;
    run.decisions = {4, 1, 3};
    EXPECT_EQ(run.medianDecision(), 3);
    run.decisions = {4, 1, 3, 2};
    EXPECT_EQ(run.medianDecision(), 2.5);
    EXPECT_EQ(run.decisionTotal(), 10);
}

TEST(AgentActivity, TellsObserversOnlyOfRealChanges) {
    AgentActivity log;
    int pauses = 0;
    log.isPaused.changed().connect([&] { ++pauses; });
    log.isPaused.set(false);
    log.isPaused.set(true);
    log.isPaused.set(true);
    EXPECT_EQ(pauses, 1);
}
