#include "BrowserMCP/Tool.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace vesk;

namespace {

const Tool& tool(const std::string& name) {
    for (const auto& candidate : Tool::all()) {
        if (candidate.name == name) return candidate;
    }
    throw std::out_of_range(name);
}

} // namespace

TEST(ToolTable, OffersTheTwentyFiveToolsInOrder) {
    std::vector<std::string> names;
    for (const auto& entry : Tool::all()) names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "navigate", "back", "forward", "reload", "snapshot", "find", "click", "hover", "fill",
                         "select", "press", "scroll", "wait_for", "evaluate", "console", "network", "screenshot",
                         "window", "record_start", "record_stop", "list_flows", "list_profiles", "use_profile",
                         "run_flow", "repair_flow"}));
}

TEST(ToolTable, SchemasHaveExactlyTheirKeysAndWireTypes) {
    const std::set<std::string> types{"string", "number", "integer", "boolean", "object"};
    for (const auto& entry : Tool::all()) {
        Json schema = entry.schema();
        ASSERT_EQ(schema.size(), 3u) << entry.name;
        EXPECT_EQ(schema["name"], entry.name);
        EXPECT_FALSE(schema["description"].get<std::string>().empty()) << entry.name;
        const Json& input = schema["inputSchema"];
        ASSERT_EQ(input.size(), 3u) << entry.name;
        EXPECT_EQ(input["type"], "object");
        ASSERT_TRUE(input["properties"].is_object());
        ASSERT_TRUE(input["required"].is_array());
        EXPECT_EQ(input["properties"].size(), entry.parameters.size()) << entry.name;
        for (const auto& [name, property] : input["properties"].items()) {
            ASSERT_EQ(property.size(), 2u) << entry.name << "." << name;
            EXPECT_TRUE(types.count(property["type"].get<std::string>())) << entry.name << "." << name;
            EXPECT_FALSE(property["description"].get<std::string>().empty()) << entry.name << "." << name;
        }
        for (const auto& required : input["required"]) EXPECT_TRUE(input["properties"].contains(required));
        // Valid JSON that reads back the same.
        EXPECT_EQ(Json::parse(schema.dump()), schema);
    }
}

TEST(ToolTable, ParameterlessToolsHaveEmptyPropertiesAndRequired) {
    EXPECT_EQ(tool("snapshot").schema()["inputSchema"].dump(), R"({"type":"object","properties":{},"required":[]})");
}

TEST(ToolTable, RequiredParametersFollowTheTable) {
    auto required = [](const std::string& name) { return tool(name).schema()["inputSchema"]["required"]; };
    EXPECT_EQ(required("fill"), Json::array({"ref", "text"}));
    EXPECT_EQ(required("scroll"), Json::array());
    EXPECT_EQ(required("wait_for"), Json::array());
    EXPECT_EQ(tool("wait_for").parameters.size(), 8u);
    EXPECT_EQ(required("repair_flow"), Json::array({"name", "step", "role", "element_name"}));
    EXPECT_EQ(tool("run_flow").schema()["inputSchema"]["properties"]["variables"]["type"], "object");
    EXPECT_EQ(tool("run_flow").schema()["inputSchema"]["properties"]["from"]["type"], "integer");
    EXPECT_EQ(tool("wait_for").schema()["inputSchema"]["properties"]["timeout_seconds"],
              Json({{"type", "number"}, {"description", "Defaults to 10."}}));
}

TEST(ToolTable, DescriptionsKeepTheirQuotesAndEllipsis) {
    EXPECT_NE(tool("snapshot").description.find("An element followed by in \"\xE2\x80\xA6\" belongs to that text"),
              std::string::npos);
    EXPECT_NE(tool("find").description.find("e.g. find \"search\", \"combobox\" or \"sort\"."), std::string::npos);
    EXPECT_NE(tool("repair_flow").description.find("as \"<name> (repaired)\", which"), std::string::npos);
    const auto& variables = tool("run_flow").parameters[3];
    EXPECT_EQ(variables.description,
              "Values for ${NAME} variables the profile lacks or that should differ, e.g. {\"PASSWORD\": \"...\"}.");
    const auto& fill = tool("fill").description;
    auto site = fill.find("A site without a port is https: a variable of ");
    ASSERT_NE(site, std::string::npos);
    EXPECT_NE(fill.find("fill fails anywhere else. A site without a port is https"), std::string::npos);
    EXPECT_NE(fill.find(":80. Write ${NAME.user}, ${NAME.password} or ${NAME.otp}"), std::string::npos);
}
