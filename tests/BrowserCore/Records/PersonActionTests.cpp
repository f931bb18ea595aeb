// Decoding the person's actions that the page agent reports.

#include "BrowserCore/Records/PersonAction.h"

#include <gtest/gtest.h>

using namespace vesk;

TEST(PersonAction, DecodesAnActionWithItsTargetAndIgnoresOtherKeys) {
    auto action = PersonAction::decoded(
        R"({"action":"fill","target":{"role":"textbox","name":"Password","index":1,"selector":"#pw","secret":true,"extra":1},)"
        R"("value":"x","trusted":true,"later":"ignored"})");
    EXPECT_EQ(action.action, FlowStep::Action::fill);
    ASSERT_TRUE(action.target);
    EXPECT_EQ(action.target->locator, (Locator{"textbox", "Password", 1, "#pw"}));
    EXPECT_TRUE(action.target->secret);
    EXPECT_EQ(action.value, "x");
    EXPECT_TRUE(action.trusted);

    auto bare = PersonAction::decoded(R"({"action":"press","target":null,"value":null,"trusted":false})");
    EXPECT_EQ(bare.action, FlowStep::Action::press);
    EXPECT_FALSE(bare.target);
    EXPECT_FALSE(bare.value);
    EXPECT_FALSE(bare.trusted);
}

TEST(PersonAction, RefusesWhatThePageAgentWouldNotSend) {
    for (const char* text : {
             R"({"action":"type","trusted":true})",
             R"({"action":"Click","trusted":true})",
             R"({"action":"click"})",
             R"({"action":"click","trusted":"yes"})",
             R"({"action":"click","trusted":true,"value":3})",
             R"({"action":"click","trusted":true,"target":{"role":"button","name":"Go","index":0}})",
             R"({"action":"click","trusted":true,"target":{"role":"button","index":0,"secret":false}})",
             R"(["click"])",
             "not json",
             "{\"action\":\"fill\",\"value\":\"\xff\",\"trusted\":true}",
         }) {
        EXPECT_ANY_THROW(PersonAction::decoded(text)) << text;
    }
}
