// What the element lines say on pages built as component libraries build
// them: names as the page shows them (line breaks, hidden icons, unseen
// comboboxes, open folders), icons described by what they show and never by
// the class names that style them, contexts taken from an element's own
// containers alone, and no two lines alike.

#include "BrowserCore/Session/RealInputPages.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/MCPServer.h"

#include <gtest/gtest.h>

#include <set>

using namespace vesk;
using namespace vesk::test;

namespace {

class ElementNames : public testing::Test {
protected:
    void SetUp() override {
        if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
        for (const char* page : {"claim-form", "own-places", "alike-lines"}) {
            server.serve(std::string("/") + page, sessionPage(page));
        }
        session = actionSession();
        mcp = std::make_unique<MCPServer>(session.get(), activity, nullptr, nullptr);
    }

    std::string call(const std::string& name, Json arguments = Json::object()) {
        Json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"}};
        request["params"] = {{"name", name}, {"arguments", arguments}};
        auto reply = runTask(mcp->handle(request.dump()));
        Json result = reply ? Json::parse(*reply)["result"] : Json();
        return result.value("content", Json::array()).empty() ? std::string() : result["content"][0].value("text", "");
    }
    // The whole page, every element listed.
    std::string open(const std::string& page) {
        call("navigate", {{"url", server.url("/" + page)}});
        return call("snapshot");
    }

    // The ref of the one element line that ends with `line`.
    static std::string ref(const std::string& answer, const std::string& line) {
        auto at = answer.find("] " + line + "\n");
        auto open = at == std::string::npos ? at : answer.rfind("\n[e", at);
        if (open != std::string::npos) return answer.substr(open + 2, at - open - 2);
        ADD_FAILURE() << "no line " << line << " in\n" << answer;
        return "e0";
    }
    static std::size_t count(const std::string& answer, const std::string& part) {
        std::size_t n = 0;
        for (auto at = answer.find(part); at != std::string::npos; at = answer.find(part, at + 1)) ++n;
        return n;
    }

    LoopbackServer server;
    std::shared_ptr<BrowserSession> session;
    AgentActivity activity;
    std::unique_ptr<MCPServer> mcp;
};

} // namespace

TEST_F(ElementNames, NamesAreWhatThePageShowsAndIconsAreDescribedByWhatTheyShow) {
    std::string page = open("claim-form");
    for (const char* line : {"button \"notifications\"", "textbox \"Search claims\"", "button \"Save draft\"",
                             "radio \"Starter 6 EUR per seat a month Up to 5 seats\" in \"Plan\"",
                             "generic \"Choose a purpose\"", "treeitem \"Projects\"", "button \"\u25be\" in \"Projects\"",
                             "treeitem \"2027\"", "generic \"sorting\" in \"Merchant\""}) {
        ref(page, line);
    }
    ref(page, "button \"\"");
    EXPECT_EQ(count(page, "] button \"\" in \"Guests\"\n"), 2u) << "no word names a number field's buttons: its field places them";
    for (const char* wrong : {"selectable", "default type", "ex label", "tui grid", "loading", "Meals Meals"}) {
        EXPECT_EQ(count(page, wrong), 0u) << wrong << "\n" << page;
    }
    EXPECT_NE(call("find", {{"text", "Save draft"}}).find("] button \"Save draft\""), std::string::npos);
    // The unseen combobox is used through the field that shows it.
    call("click", {{"ref", ref(page, "combobox \"Category\" value=\"Meals\"")}});
    EXPECT_EQ(pageValue(session->page->get(), "document.title"), "Category opened");
}

TEST_F(ElementNames, AContextIsTextOfTheElementsOwnContainersNeverOfWhatStandsBesideIt) {
    std::string page = open("own-places");
    for (const char* line : {"button \"menu\"", "button \"notifications\"", "button \"\"", "checkbox \"toggle all\"",
                             "checkbox \"\" in \"Buy milk\""}) {
        ref(page, line);
    }
    for (const char* wrong : {"in \"Ledgerly", "in \"notifications\"", "\"before\"", "\"after\"", "in \"Buy milk Call Bo\""}) {
        EXPECT_EQ(count(page, wrong), 0u) << wrong << "\n" << page;
    }
}

TEST_F(ElementNames, ControlsAlikeAreToldApartByTheNearestTextOfTheirOwnContainersThatDiffers) {
    std::string page = open("alike-lines");
    for (const char* line : {"button \"bold\" in \"Description\"", "button \"bold\" in \"Notes\"",
                             "button \"Open Filter Menu\" in \"Merchant\"", "button \"Open Filter Menu\" in \"Amount\"",
                             "listbox \"\" in \"Approvers\"", "listbox \"\" in \"Watchers\"", "generic \"1\" in \"December 2027\"",
                             "checkbox \"\" in \"A-101\"", "button \"Next page\""}) {
        ref(page, line);
    }
    std::set<std::string> lines;
    for (auto at = page.find("\n[e"); at != std::string::npos; at = page.find("\n[e", at + 1)) {
        auto start = page.find("] ", at), end = page.find('\n', at + 1);
        EXPECT_TRUE(lines.insert(page.substr(start, end - start)).second) << page.substr(start, end - start);
    }
    call("click", {{"ref", ref(page, "generic \"1\" in \"January 2028\"")}});
    EXPECT_EQ(pageValue(session->page->get(), "document.title"), "2028-01-01");
}
