#include "BrowserCore/Session/FrameAnswer.h"
#include "Support/MainLoop.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

Task<void> waitFor(std::shared_ptr<FrameAnswer> answer, int& woken) {
    co_await answer->wait();
    ++woken;
}

} // namespace

TEST(FrameAnswer, WakesTheScanOnceAndKeepsALateAnswer) {
    auto answer = std::make_shared<FrameAnswer>();
    int woken = 0;
    auto waiting = waitFor(answer, woken);
    EXPECT_FALSE(waiting.isDone());

    answer->expire();
    EXPECT_EQ(woken, 0) << "the scan resumes on the main loop, not inside expire";
    ASSERT_TRUE(spinUntil([&] { return waiting.isDone(); }));
    EXPECT_EQ(woken, 1);
    EXPECT_FALSE(answer->hasArrived());

    // The answer that comes after the time-out is kept for the next scan,
    // and wakes nobody.
    answer->deliver({FrameAnswer::Outcome::failed, std::nullopt});
    EXPECT_TRUE(answer->hasArrived());
    EXPECT_TRUE(answer->isExpired());

    // Once either has happened, waiting returns at once.
    auto again = waitFor(answer, woken);
    EXPECT_TRUE(again.isDone());
    EXPECT_EQ(woken, 2);
}
