#include "Platform/Async.h"
#include "Support/MainLoop.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace vesk;
using namespace vesk::test;

namespace {

Task<int> answerLater(Duration delay, int value) {
    co_await sleepFor(delay);
    co_return value;
}

Task<int> failLater() {
    co_await sleepFor(milliseconds(5));
    throw std::runtime_error("it broke");
}

Task<std::string> catchThrough() {
    try {
        co_await failLater();
    } catch (const std::runtime_error& error) {
        co_return std::string("caught: ") + error.what();
    }
    co_return "nothing";
}

// Polls like the session's waits do: sleeping in small steps and noticing
// cancellation at each sleep.
Task<int> pollForever(int* rounds) {
    for (;;) {
        co_await sleepFor(milliseconds(5));
        ++*rounds;
    }
}

Task<int> parentOf(int* rounds) { co_return co_await pollForever(rounds); }

} // namespace

TEST(Task, StartsAtOnceAndRunsToItsFirstSuspension) {
    bool started = false;
    auto task = [&]() -> Task<void> {
        started = true;
        co_await sleepFor(milliseconds(1));
    }();
    EXPECT_TRUE(started);
    EXPECT_FALSE(task.isDone());
    runTask(task);
}

TEST(Task, ErrorTravelsThroughAwait) {
    EXPECT_EQ(runTask(catchThrough()), "caught: it broke");
    EXPECT_THROW(runTask(failLater()), std::runtime_error);
}

TEST(Task, SleepEndsOnTime) {
    auto start = Clock::now();
    runTask(sleepFor(milliseconds(60)));
    auto slept = Clock::now() - start;
    EXPECT_GE(slept, milliseconds(60));
    EXPECT_LT(slept, seconds(2));
}

TEST(Task, CancellationReachesAnAwaitedChild) {
    int rounds = 0;
    auto parent = spawn([&] { return parentOf(&rounds); });
    ASSERT_TRUE(spinUntil([&] { return rounds >= 2; }));
    parent.cancel();
    ASSERT_TRUE(spinUntil([&] { return parent.isDone(); }));
    EXPECT_THROW(parent.result(), CancellationError);
}

TEST(Task, CancellingOneSpawnedTaskLeavesItsSiblingAlone) {
    auto first = spawn([] { return answerLater(milliseconds(20), 1); });
    auto second = spawn([] { return answerLater(milliseconds(20), 2); });
    first.cancel();
    EXPECT_THROW(runTask(first), CancellationError);
    EXPECT_EQ(runTask(second), 2);
}

TEST(Task, RaceGivesTheFirstAndTheLoserFinishesLaterWithoutHarm) {
    bool loserFinished = false;
    auto loser = [&]() -> Task<int> {
        // The loser looks at no cancellation point, so it runs to its end.
        co_await detail::TimerAwaiter{milliseconds(80)};
        loserFinished = true;
        co_return 2;
    };
    auto outcome = runTask(race([] { return answerLater(milliseconds(10), 1); }, loser));
    EXPECT_EQ(outcome, 1);
    EXPECT_FALSE(loserFinished);
    EXPECT_TRUE(spinUntil([&] { return loserFinished; }));
}

TEST(Task, RaceCancelsTheLoserAndPassesTheWinnersError) {
    int rounds = 0;
    Task<int> polling;
    auto outcome = race([] { return failLater(); },
                        [&] { return polling = pollForever(&rounds); });
    EXPECT_THROW(runTask(outcome), std::runtime_error);
    ASSERT_TRUE(spinUntil([&] { return polling.isDone(); }));
    EXPECT_THROW(polling.result(), CancellationError);
}

TEST(Task, OneShotResumesItsWaiterWithTheFirstValue) {
    OneShot<std::string> arrival;
    auto waiter = [](OneShot<std::string> shot) -> Task<std::string> { co_return co_await shot.wait(); }(arrival);
    EXPECT_FALSE(waiter.isDone());
    EXPECT_TRUE(arrival.resolve("first"));
    EXPECT_FALSE(arrival.resolve("second"));
    EXPECT_FALSE(waiter.isDone()) << "waiters resume on the main loop, not inside resolve";
    EXPECT_EQ(runTask(waiter), "first");
}
