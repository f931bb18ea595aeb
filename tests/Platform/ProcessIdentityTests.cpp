// Who a process is: its start time, read after its program's name whatever
// that name holds, and whether it still runs this program.

#include "Platform/ProcessIdentity.h"
#include "Support/ChildProcess.h"

#include <gtest/gtest.h>

using namespace vesk;

TEST(ProcessIdentity, TheStartTimeIsTheTwentySecondFieldAfterTheProgramsName) {
    // State, then fields 4 to 21, then the start time.
    const std::string fields = " S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 987654 20 21";
    EXPECT_EQ(startTimeOfStat("42 (vesk)" + fields), "987654");
    EXPECT_EQ(startTimeOfStat("42 (a) (b c)" + fields), "987654");
    EXPECT_EQ(startTimeOfStat("42 (a) S 1 2 3)" + fields), "987654");
    // Ended, waiting to be reaped; no name; cut short.
    EXPECT_EQ(startTimeOfStat("42 (a) (b c) Z" + fields.substr(2)), std::nullopt);
    EXPECT_EQ(startTimeOfStat("42 vesk" + fields), std::nullopt);
    EXPECT_EQ(startTimeOfStat("42 (vesk) S 1 2 3"), std::nullopt);
}

TEST(ProcessIdentity, ARunningCopyRunsAndAReusedIdOrAnEndedProcessDoesNot) {
    test::ProgramCopy copy;
    const std::string identity = processIdentity(copy.pid());
    ASSERT_FALSE(identity.empty());
    EXPECT_TRUE(sameProgramRuns(identity));
    // Its id with another start time: another process that took the id.
    const auto cut = identity.rfind('/') + 1;
    EXPECT_FALSE(sameProgramRuns(identity.substr(0, cut) + std::to_string(std::stoull(identity.substr(cut)) + 1)));
    copy.stop();
    EXPECT_FALSE(sameProgramRuns(identity)) << "ended, not yet reaped";
    copy.reap();
    EXPECT_FALSE(sameProgramRuns(identity));
}
