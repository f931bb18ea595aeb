// A right-to-left page read by the agent: the direction marks its words carry
// reach the agent as they are; a control character still shows as "\uFFFD",
// and what would reorder the rendering on screen is left out.

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/MCPServer.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

// A shop written as such pages are: its list drawn by script from data, the
// signed-in person's name in a web component, marks written as entities in
// the markup and as characters in the script.
constexpr const char* shop = R"(<!doctype html>
<html dir="rtl" lang="he"><head><meta charset="utf-8"><title>חנות&rlm; ספרים</title></head><body>
<nav><a href="#cart">סל&rlm; הקניות</a></nav>
<user-badge></user-badge>
<p lang="ar">مرحبا&#x61C; بكم</p>
<ul id="books"></ul>
<button id="order">הזמנה&rlm; עכשיו</button>
<script>
  customElements.define('user-badge', class extends HTMLElement {
    connectedCallback() {
      this.attachShadow({ mode: 'open' }).innerHTML = '<span>שלום, \u2067Dana\u2069\u200F!</span>';
    }
  });
  const books = [{ name: 'עיר\u200F ומקלט', price: '\u200E120 ₪' }, { name: 'צלצול\u0007פעמון', price: '\u202E45 ₪\u202C' }];
  for (const book of books) {
    const item = document.createElement('li');
    item.textContent = book.name + ' ' + book.price;
    document.getElementById('books').append(item);
  }
  document.getElementById('order').addEventListener('click', () => console.log('הזמנה\u200F נשלחה'));
</script></body></html>)";

} // namespace

TEST(RightToLeftPage, TheAgentReadsItsMarksAndNoReplacementButForAControlCharacter) {
    if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
    LoopbackServer server;
    server.serve("/shop", shop);
    BrowserSession::Options options;
    options.settleTimeout = seconds(2);
    auto session = BrowserSession::create(options);
    AgentActivity activity;
    MCPServer mcp(session.get(), activity, nullptr, nullptr);
    std::string answers;
    auto call = [&](const std::string& name, Json arguments = Json::object()) {
        Json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "tools/call"}};
        request["params"] = {{"name", name}, {"arguments", arguments}};
        auto reply = runTask(mcp.handle(request.dump()));
        EXPECT_TRUE(reply);
        Json result = reply ? Json::parse(*reply)["result"] : Json();
        for (const auto& item : result.value("content", Json::array())) answers += item.value("text", "") + "\n";
    };

    call("navigate", {{"url", server.url("/shop")}});
    std::string order;
    const PageSnapshot page = session->currentSnapshot().value_or(PageSnapshot{});
    for (const auto& element : page.elements) {
        if (element.role == "button") order = element.ref;
    }
    call("click", {{"ref", order}});
    call("snapshot");
    call("console");

    for (const char* shown : {"Page: \"חנות\u200F ספרים\"", "link \"סל\u200F הקניות\"", "שלום, Dana\u200F!",
                              "مرحبا\u061C بكم", "עיר\u200F ומקלט \u200E120 ₪", "צלצול\uFFFDפעמון 45 ₪",
                              "button \"הזמנה\u200F עכשיו\"", "\"הזמנה\u200F נשלחה\""}) {
        EXPECT_NE(answers.find(shown), std::string::npos) << shown << "\n" << answers;
    }
    // The control character is the one replacement in every answer.
    const std::string once = "צלצול\uFFFDפעמון";
    std::string rest = answers;
    for (auto at = rest.find(once); at != std::string::npos; at = rest.find(once)) rest.erase(at, once.size());
    EXPECT_EQ(rest.find("\uFFFD"), std::string::npos) << answers;
    for (const char* reordering : {"\u2067", "\u2069", "\u202E", "\u202C"}) {
        EXPECT_EQ(answers.find(reordering), std::string::npos) << answers;
    }
}
