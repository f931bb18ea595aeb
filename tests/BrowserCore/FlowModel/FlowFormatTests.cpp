#include "BrowserCore/FlowModel/Flow.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace vesk;
using Action = FlowStep::Action;

namespace {

Flow sampleFlow() {
    Flow flow;
    flow.name = "Sign in / out";
    flow.steps = {
        {.action = Action::navigate, .value = "https://shop.example/login?next=/cart"},
        {.action = Action::fill,
         .target = Locator{.role = "textbox", .name = "Email", .index = 0, .selector = "#email"},
         .value = "${SHOP.user}"},
        {.action = Action::click, .target = Locator{.role = "button", .name = "Sign in", .index = 2}},
        {.action = Action::waitForText, .value = "Loading…", .absent = true},
        {.action = Action::waitForRequest, .value = "POST /api/items", .status = "201"},
        {.action = Action::waitForNoConsoleErrors},
    };
    return flow;
}

// Decoding must fail with FlowDecodingError whose message mentions `where`.
void expectRefused(const std::string& text, const std::string& where) {
    try {
        Flow flow = Flow::decoded(text);
        ADD_FAILURE() << "read a flow named \"" << flow.name << "\" from: " << text;
    } catch (const FlowDecodingError& error) {
        EXPECT_NE(std::string(error.what()).find(where), std::string::npos) << error.what();
    }
}

} // namespace

TEST(FlowFormat, RoundTripsEveryFieldAndAction) {
    Flow flow = sampleFlow();
    for (int raw = 0; raw <= static_cast<int>(Action::waitForNoConsoleErrors); ++raw) {
        flow.steps.push_back({.action = static_cast<Action>(raw)});
    }
    EXPECT_EQ(Flow::decoded(flow.encoded()), flow);
    Flow empty{.name = "", .steps = {}};
    EXPECT_EQ(Flow::decoded(empty.encoded()), empty);
    // Bytes that are not UTF-8 cannot be written as JSON; they are replaced, not fatal.
    EXPECT_EQ(Flow::decoded(Flow{.name = "a\xff"}.encoded()).name, "a\uFFFD");
}

TEST(FlowFormat, WritesSortedPrettyPlainJSONWithoutEmptyFields) {
    std::string text = sampleFlow().encoded();
    EXPECT_NE(text.find("\"https://shop.example/login?next=/cart\""), std::string::npos);
    EXPECT_EQ(text.find("\\/"), std::string::npos);
    EXPECT_EQ(text.find("null"), std::string::npos);
    EXPECT_NE(text.find("Loading…"), std::string::npos); // UTF-8, not \u escapes
    EXPECT_NE(text.find('\n'), std::string::npos);
    EXPECT_LT(text.find("\"name\""), text.find("\"steps\""));
    EXPECT_LT(text.find("\"absent\""), text.find("\"action\": \"waitForText\""));

    auto json = nlohmann::json::parse(text);
    EXPECT_EQ(json["steps"][5], (nlohmann::json{{"action", "waitForNoConsoleErrors"}}));
    EXPECT_EQ(json["steps"][2]["target"], (nlohmann::json{{"index", 2}, {"name", "Sign in"}, {"role", "button"}}));
    EXPECT_TRUE(json["steps"][2]["target"]["index"].is_number_integer());
    EXPECT_TRUE(json["steps"][3]["absent"].is_boolean());

    // Keys of a step appear in sorted order.
    std::string step = Flow{.name = "x",
                            .steps = {{.action = Action::waitForRequest,
                                       .target = Locator{.role = "r", .name = "n"},
                                       .value = "v",
                                       .status = "s",
                                       .absent = false}}}
                           .encoded();
    auto at = [&](const char* key) { return step.find(std::string("\"") + key + "\":"); };
    EXPECT_LT(at("absent"), at("action"));
    EXPECT_LT(at("action"), at("status"));
    EXPECT_LT(at("status"), at("target"));
    EXPECT_LT(at("index"), at("role"));
    EXPECT_LT(at("target"), at("value"));
}

TEST(FlowFormat, ReadsAnyLayoutIgnoringUnknownKeysAndNulls) {
    Flow flow = Flow::decoded(R"({"steps":[{"action":"click","extra":[1,2],"target":{"role":"link","name":"Home",
        "index":1.0,"selector":null,"secret":true},"value":null,"status":null,"absent":null}],"name":"n","v":2})");
    ASSERT_EQ(flow.steps.size(), 1u);
    EXPECT_EQ(flow.steps[0], (FlowStep{.action = Action::click, .target = Locator{.role = "link", .name = "Home", .index = 1}}));
    EXPECT_EQ(Locator::decoded(R"({"role":"button","name":"Go","index":3,"selector":"#go"})"),
              (Locator{.role = "button", .name = "Go", .index = 3, .selector = "#go"}));
}

TEST(FlowFormat, RefusesDamagedFilesWhole) {
    // Bad JSON, including a good flow followed by anything.
    expectRefused("", "Not valid JSON");
    expectRefused(R"({"name":"a","steps":[)", "Not valid JSON");
    expectRefused(R"({"name":"a","steps":[]} x)", "Not valid JSON");
    expectRefused("{\"name\":\"\xff\",\"steps\":[]}", "Not valid JSON");
    // Missing required keys, at every level; null counts as missing.
    expectRefused(R"({"steps":[]})", "\"name\"");
    expectRefused(R"({"name":"a"})", "\"steps\"");
    expectRefused(R"({"name":null,"steps":[]})", "\"name\"");
    expectRefused(R"({"name":"a","steps":[{"action":"back"},{"value":"x"}]})", "steps[1]");
    expectRefused(R"({"name":"a","steps":[{"action":"click","target":{"role":"b","name":"c"}}]})", "\"index\"");
    expectRefused(R"({"name":"a","steps":[{"action":"click","target":{"role":"b","index":0}}]})", "\"name\"");
    // Wrong types.
    expectRefused(R"([])", "the top level");
    expectRefused(R"({"name":7,"steps":[]})", "name");
    expectRefused(R"({"name":"a","steps":{}})", "steps");
    expectRefused(R"({"name":"a","steps":["click"]})", "steps[0]");
    expectRefused(R"({"name":"a","steps":[{"action":"waitForText","absent":"yes"}]})", "steps[0].absent");
    expectRefused(R"({"name":"a","steps":[{"action":"fill","value":5}]})", "steps[0].value");
    expectRefused(R"({"name":"a","steps":[{"action":"waitForRequest","status":201}]})", "steps[0].status");
    expectRefused(R"({"name":"a","steps":[{"action":"click","target":{"role":"b","name":"c","index":"1"}}]})",
                  "steps[0].target.index");
    expectRefused(R"({"name":"a","steps":[{"action":"click","target":{"role":"b","name":"c","index":1.5}}]})",
                  "steps[0].target.index");
    expectRefused(R"({"name":"a","steps":[{"action":"click","target":{"role":"b","name":"c","index":1e30}}]})",
                  "steps[0].target.index");
    expectRefused(R"({"name":"a","steps":[{"action":"click","target":"#go"}]})", "steps[0].target");
    // Unknown actions, also by case.
    expectRefused(R"({"name":"a","steps":[{"action":"back"},{"action":"scroll"}]})", "Unknown action \"scroll\"");
    expectRefused(R"({"name":"a","steps":[{"action":"Click"}]})", "steps[0].action");
    expectRefused(R"({"name":"a","steps":[{"action":1}]})", "steps[0].action");
}

TEST(FlowFormat, ActionWordsAreExact) {
    EXPECT_EQ(FlowStep::toRaw(Action::waitForNoConsoleErrors), "waitForNoConsoleErrors");
    EXPECT_EQ(FlowStep::toRaw(Action::waitForURL), "waitForURL");
    EXPECT_EQ(FlowStep::actionFromRaw("waitForURL"), Action::waitForURL);
    EXPECT_EQ(FlowStep::actionFromRaw("waitForUrl"), std::nullopt);
    EXPECT_EQ(FlowStep::actionFromRaw(""), std::nullopt);
}

TEST(FlowRepair, ReplacesOnlyTheTargetOfTheStep) {
    Flow flow = sampleFlow();
    Locator locator{.role = "button", .name = "Log in", .index = 0, .selector = "form button"};
    Flow repaired = flow.replacingTarget(3, locator);
    EXPECT_EQ(repaired.steps[2].target, locator);
    repaired.steps[2].target = flow.steps[2].target;
    EXPECT_EQ(repaired, flow);
}

TEST(FlowRepair, RefusesStepsOutOfRangeOrWithoutTarget) {
    Flow one{.name = "one", .steps = {{.action = Action::navigate, .value = "https://a.example"}}};
    Flow before = one;
    auto message = [&](std::int64_t step) {
        try {
            (void)one.replacingTarget(step, Locator{.role = "r", .name = "n"});
        } catch (const FlowError& error) {
            EXPECT_EQ(error.kind(), FlowError::Kind::unrepairableStep);
            EXPECT_STREQ(error.what(), error.description().c_str());
            return error.description();
        }
        return std::string("(no error)");
    };
    EXPECT_EQ(message(2), "The flow has 1 steps, so there is no step 2");
    EXPECT_EQ(message(0), "The flow has 1 steps, so there is no step 0");
    EXPECT_EQ(message(INT64_MIN), "The flow has 1 steps, so there is no step -9223372036854775808");
    EXPECT_EQ(message(1), "Step 1 is a navigate step, which has no element to replace");
    EXPECT_EQ(one, before);
    EXPECT_EQ(FlowError::unrepairableStep("x"), FlowError::unrepairableStep("x"));
    EXPECT_NE(FlowError::unrepairableStep("x"), FlowError::unrepairableStep("y"));
}
