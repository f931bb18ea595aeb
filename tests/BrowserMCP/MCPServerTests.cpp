#include "BrowserMCP/MCPServer.h"

#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/PageRendering.h"
#include "BrowserMCP/ToolArguments.h"
#include "SessionDouble.h"
#include "Support/MainLoop.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

using namespace vesk;
using namespace vesk::test;

namespace {

// A server whose tool road is the test's own, to see what reaches it and how
// its results are sent.
class ScriptedServer : public MCPServer {
public:
    explicit ScriptedServer(AgentActivity& activity)
        : MCPServer(std::make_unique<test::SessionDouble>(), activity, nullptr, nullptr) {}

    std::function<ToolResult(const std::string&, const Json&)> tool;
    int calls = 0;
    std::string lastName;
    Json lastArguments;

protected:
    Task<ToolResult> callTool(std::string name, Json arguments) override {
        ++calls;
        lastName = name;
        lastArguments = arguments;
        co_return tool(name, arguments);
    }
};

class MCPServerTest : public testing::Test {
protected:
    AgentActivity activity;
    MCPServer server{std::make_unique<test::SessionDouble>(), activity, nullptr, nullptr};
    ScriptedServer scripted{activity};

    std::optional<std::string> send(MCPServer& to, const std::string& line) { return runTask(to.handle(line)); }
    std::string answer(const std::string& line) {
        auto reply = send(server, line);
        EXPECT_TRUE(reply);
        return reply.value_or("");
    }
    Json answerJSON(MCPServer& to, const std::string& line) {
        auto reply = send(to, line);
        EXPECT_TRUE(reply);
        return reply ? Json::parse(*reply) : Json();
    }
};

constexpr const char* parseError = R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error"}})";

} // namespace

TEST_F(MCPServerTest, AnswersEveryMalformedMessageWithTheParseError) {
    for (const char* line : {"not json", "[]", R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])", "{}", R"({"id":1})",
                             R"({"id":1,"method":5})", R"("ping")", "\xff\xfe{}", R"({"id":1,"method":"ping")"}) {
        EXPECT_EQ(answer(line), parseError) << line;
    }
    // A zero byte does not end the line early, and nesting deep enough to
    // overflow the stack is refused, wherever it sits.
    using namespace std::string_literals;
    std::string deep = std::string(50000, '[') + std::string(50000, ']');
    for (const std::string& line : {"{\"id\":1,\"method\":\"ping\"}\0junk"s, "{\"id\":1,\"method\":\"pi\0ng\"}"s,
                                    R"({"id":1,"method":"ping","x":)" + deep + "}",
                                    R"({"method":"ping","id":)" + deep + "}"}) {
        EXPECT_EQ(answer(line), parseError) << line.substr(0, 40);
    }
    // Brackets inside a string are text.
    EXPECT_EQ(answer(R"({"id":2,"method":"ping","x":")" + std::string(500, '[') + "\"}"),
              R"({"jsonrpc":"2.0","id":2,"result":{}})");
}

TEST_F(MCPServerTest, KeepsTheRequestIdAsSent) {
    EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":4,"method":"ping"})"), R"({"jsonrpc":"2.0","id":4,"result":{}})");
    EXPECT_EQ(answer(R"({"id":"a/b","method":"ping"})"), R"({"jsonrpc":"2.0","id":"a/b","result":{}})");
    EXPECT_EQ(answer(R"({"id":null,"method":"ping"})"), R"({"jsonrpc":"2.0","id":null,"result":{}})");
    EXPECT_EQ(answer(R"({"id":{"n":[1]},"method":"ping"})"), R"({"jsonrpc":"2.0","id":{"n":[1]},"result":{}})");
    // "jsonrpc" is never read, and a trailing carriage return is white space.
    EXPECT_EQ(answer("{\"jsonrpc\":\"1.0\",\"id\":5,\"method\":\"ping\"}\r"), R"({"jsonrpc":"2.0","id":5,"result":{}})");
}

TEST_F(MCPServerTest, NotificationsGetNoReplyAndRunNothing) {
    EXPECT_FALSE(send(server, R"({"jsonrpc":"2.0","method":"initialize"})"));
    EXPECT_FALSE(send(server, R"({"method":"no/such/method"})"));
    scripted.tool = [](const std::string&, const Json&) { return ToolResult{}; };
    EXPECT_FALSE(send(scripted, R"({"method":"tools/call","params":{"name":"click","arguments":{"ref":"e1"}}})"));
    EXPECT_EQ(scripted.calls, 0);
}

TEST_F(MCPServerTest, InitializeNamesTheServerAndEchoesAStringProtocolVersion) {
    EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":1,"method":"initialize"})"),
              R"({"jsonrpc":"2.0","id":1,"result":{"protocolVersion":"2025-06-18","capabilities":{"tools":{}},)"
              R"("serverInfo":{"name":"Vesk","version":"0.5.0"}}})");
    auto echoed = answerJSON(server, R"({"id":2,"method":"initialize","params":{"protocolVersion":"1999-01-01"}})");
    EXPECT_EQ(echoed["result"]["protocolVersion"], "1999-01-01");
    auto number = answerJSON(server, R"({"id":3,"method":"initialize","params":{"protocolVersion":20250618}})");
    EXPECT_EQ(number["result"]["protocolVersion"], "2025-06-18");
    auto arrayParams = answerJSON(server, R"({"id":4,"method":"initialize","params":["2024-11-05"]})");
    EXPECT_EQ(arrayParams["result"]["protocolVersion"], "2025-06-18");
}

TEST_F(MCPServerTest, UnknownMethodsAreNamedInTheError) {
    EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":7,"method":"Ping"})"),
              R"({"jsonrpc":"2.0","id":7,"error":{"code":-32601,"message":"Method not found: Ping"}})");
    EXPECT_EQ(answer(R"({"id":8,"method":""})"),
              R"({"jsonrpc":"2.0","id":8,"error":{"code":-32601,"message":"Method not found: "}})");
}

TEST_F(MCPServerTest, ToolsWithoutTheirSessionOperationSaySoAsAFailure) {
    auto waiting = answerJSON(server, R"({"id":3,"method":"tools/call","params":{"name":"list_flows","arguments":{}}})");
    EXPECT_EQ(waiting["result"]["isError"], true);
    EXPECT_EQ(waiting["result"]["content"][0]["text"],
              PageRendering::pageContent(PageRendering::quoteLines("The tool list_flows is not available yet: it was not run.")));

    auto unnamed = answerJSON(server, R"({"id":4,"method":"tools/call","params":{}})");
    EXPECT_EQ(unnamed["result"]["isError"], true);
    EXPECT_EQ(unnamed["result"]["content"][0]["text"], PageRendering::pageContent({"| Unknown tool: "}));
    ASSERT_EQ(activity.entries().size(), 2u);
    EXPECT_EQ(activity.entries()[1].tool, "");
}

TEST_F(MCPServerTest, ToolCallsGetTheirNameAndArgumentsLeniently) {
    scripted.tool = [](const std::string&, const Json&) { return ToolResult{}; };
    auto reply = answerJSON(scripted, R"({"id":3,"method":"tools/call","params":{"name":"click","arguments":{"ref":"e1"}}})");
    EXPECT_EQ(scripted.lastName, "click");
    EXPECT_EQ(scripted.lastArguments, Json({{"ref", "e1"}}));
    EXPECT_EQ(reply.dump(), R"({"jsonrpc":"2.0","id":3,"result":{"content":[],"isError":false}})");

    answerJSON(scripted, R"({"id":4,"method":"tools/call","params":[1,2]})");
    EXPECT_EQ(scripted.lastName, "");
    EXPECT_EQ(scripted.lastArguments, Json::object());

    answerJSON(scripted, R"({"id":5,"method":"tools/call","params":{"name":7,"arguments":"ref=e1"}})");
    EXPECT_EQ(scripted.lastName, "");
    EXPECT_EQ(scripted.lastArguments, Json::object());
    EXPECT_EQ(scripted.calls, 3);
}

TEST_F(MCPServerTest, WritesResultsCompactWithSlashesAndUnicodeAsTheyAre) {
    scripted.tool = [](const std::string&, const Json&) {
        ToolResult result;
        result.content.push_back(textItem("https://example.com/a/b — Café\nsecond line"));
        result.meta = Json{{"vesk/phases", {{"load", 0.5}}}};
        return result;
    };
    auto reply = send(scripted, R"({"id":1,"method":"tools/call","params":{"name":"navigate"}})");
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, R"({"jsonrpc":"2.0","id":1,"result":{"content":[{"type":"text","text":)"
                      R"("https://example.com/a/b — Café\nsecond line"}],"isError":false,)"
                      R"("_meta":{"vesk/phases":{"load":0.5}}}})");
    EXPECT_EQ(reply->find('\n'), std::string::npos);
}

TEST_F(MCPServerTest, InvalidUTF8InAResultIsReplacedNotFatal) {
    scripted.tool = [](const std::string&, const Json&) {
        ToolResult result;
        result.content.push_back(textItem("bad \xC3( byte"));
        return result;
    };
    auto reply = answerJSON(scripted, R"({"id":9,"method":"tools/call","params":{"name":"evaluate"}})");
    EXPECT_EQ(reply["id"], 9);
    EXPECT_EQ(reply["result"]["content"][0]["text"], "bad \xEF\xBF\xBD( byte");
}

TEST_F(MCPServerTest, AFailureToProduceAReplyIsAnInternalErrorWithTheId) {
    scripted.tool = [](const std::string&, const Json&) -> ToolResult { throw std::runtime_error("boom"); };
    auto reply = answerJSON(scripted, R"({"id":"x1","method":"tools/call","params":{"name":"click"}})");
    EXPECT_EQ(reply["id"], "x1");
    EXPECT_EQ(reply["error"]["code"], -32603);
    EXPECT_TRUE(reply["error"]["message"].is_string());
    EXPECT_FALSE(reply.contains("result"));
}
