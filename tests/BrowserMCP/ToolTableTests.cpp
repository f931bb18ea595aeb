#include "BrowserMCP/Tool.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace vesk;

namespace {

Json inputSchema(const std::string& name) {
    for (const auto& candidate : Tool::all()) {
        if (candidate.name == name) return candidate.schema()["inputSchema"];
    }
    throw std::out_of_range(name);
}

} // namespace

TEST(ToolTable, SchemasHaveExactlyTheirKeysAndWireTypes) {
    EXPECT_EQ(Tool::all().size(), 25u);
    const std::set<std::string> types{"string", "number", "integer", "boolean", "object"};
    for (const auto& entry : Tool::all()) {
        Json schema = entry.schema();
        ASSERT_EQ(schema.size(), 3u) << entry.name;
        EXPECT_EQ(schema["name"], entry.name);
        EXPECT_FALSE(schema["description"].get<std::string>().empty()) << entry.name;
        const Json& input = schema["inputSchema"];
        ASSERT_EQ(input.size(), 3u) << entry.name;
        EXPECT_EQ(input["type"], "object");
        ASSERT_TRUE(input["properties"].is_object() && input["required"].is_array()) << entry.name;
        EXPECT_EQ(input["properties"].size(), entry.parameters.size()) << entry.name;
        for (const auto& [name, property] : input["properties"].items()) {
            ASSERT_EQ(property.size(), 2u) << entry.name << "." << name;
            EXPECT_TRUE(types.contains(property["type"].get<std::string>())) << entry.name << "." << name;
            EXPECT_FALSE(property["description"].get<std::string>().empty()) << entry.name << "." << name;
        }
        for (const auto& required : input["required"]) EXPECT_TRUE(input["properties"].contains(required));
    }
}

TEST(ToolTable, RequiredParametersAndTypesFollowTheTable) {
    EXPECT_EQ(inputSchema("snapshot").dump(), R"({"type":"object","properties":{},"required":[]})");
    EXPECT_EQ(inputSchema("fill")["required"], Json::array({"ref", "text"}));
    EXPECT_EQ(inputSchema("wait_for")["required"], Json::array());
    EXPECT_EQ(inputSchema("repair_flow")["required"], Json::array({"name", "step", "role", "element_name"}));
    EXPECT_EQ(inputSchema("run_flow")["properties"]["variables"]["type"], "object");
    EXPECT_EQ(inputSchema("run_flow")["properties"]["from"]["type"], "integer");
    EXPECT_EQ(inputSchema("wait_for")["properties"]["timeout_seconds"]["type"], "number");
}
