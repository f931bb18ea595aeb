#include "BrowserCore/Errors/BrowserError.h"
#include "BrowserCore/PageAgent/AgentEnvelope.h"

#include <gtest/gtest.h>

using namespace vesk;
using nlohmann::json;

namespace {

BrowserError failureOf(const std::string& command, const std::optional<std::string>& reply) {
    try {
        openEnvelope(command, reply);
    } catch (const BrowserError& error) {
        return error;
    }
    ADD_FAILURE() << "the reply " << reply.value_or("(none)") << " should fail";
    return BrowserError::noPage();
}

} // namespace

TEST(AgentEnvelope, GivesTheValueOrNone) {
    EXPECT_EQ(openEnvelope("click", R"({"ok":true})"), std::nullopt);
    EXPECT_EQ(openEnvelope("click", R"({"ok":true,"value":null})"), std::nullopt);
    EXPECT_EQ(openEnvelope("find", R"({"ok":true,"value":{"ref":"e3"},"extra":[1,2]})"), json({{"ref", "e3"}}));
    EXPECT_EQ(openEnvelope("probe", R"({"ok":true,"value":"found","code":null,"message":null})"), json("found"));
}

TEST(AgentEnvelope, TurnsElementCodesIntoElementErrorsAndTheRestIntoScriptErrors) {
    for (const char* code : {"not_found", "disabled", "not_visible", "obscured", "wrong_type", "no_option"}) {
        auto error = failureOf("click", json{{"ok", false}, {"code", code}, {"message", "Nothing to click."}}.dump());
        EXPECT_EQ(error.kind(), BrowserError::Kind::element) << code;
        EXPECT_EQ(BrowserError::toRaw(error.failure()), code);
        EXPECT_EQ(error.description(), "Nothing to click.");
    }
    auto other = failureOf("click", R"({"ok":false,"code":"Not_Found","message":"Nothing to click."})");
    EXPECT_EQ(other.kind(), BrowserError::Kind::script);
    EXPECT_EQ(other.description(), "Script error: Nothing to click.");

    EXPECT_EQ(failureOf("select", R"({"ok":false})").description(), "Script error: select failed");
    // An empty message reads like none at all.
    EXPECT_EQ(failureOf("select", R"({"ok":false,"code":"disabled","message":""})").description(), "select failed");
}

TEST(AgentEnvelope, RefusesWhatIsNoEnvelope) {
    EXPECT_EQ(failureOf("scan", std::nullopt).description(), "Script error: scan returned no envelope");
    for (const char* reply : {R"({"ok":"true"})", R"({"value":1})", "[true]", "not json", R"({"ok":false,"message":3})",
                              R"({"ok":true,"code":{}})"}) {
        auto error = failureOf("find", std::string(reply));
        EXPECT_EQ(error.kind(), BrowserError::Kind::script);
        EXPECT_TRUE(error.description().starts_with("Script error: find returned an unexpected shape: "))
            << error.description();
    }
}
