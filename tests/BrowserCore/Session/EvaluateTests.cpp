// Script evaluation and screenshots of the active window, on a real web view.

#include "BrowserCore/Session/BrowserSession.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"
#include "SessionPages.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

std::uint32_t bigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 | std::uint32_t(bytes[at + 2]) << 8 |
           std::uint32_t(bytes[at + 3]);
}

} // namespace

TEST(Evaluate, NeedsAPage) {
    auto session = BrowserSession::create({});
    EXPECT_EQ(browserErrorOf(session->evaluate("return 1")), BrowserError::noPage());
    EXPECT_EQ(browserErrorOf(session->screenshot()), BrowserError::noPage());
}

TEST(Evaluate, AnswersTheJSONOfTheScriptsValue) {
    LoopbackServer server;
    server.serve("/", sessionPage("shop-name"));
    auto session = BrowserSession::create({});
    Shown shown(session->page->get());
    runTask(session->navigate(server.url("/")));

    auto run = [&](const std::string& script) { return runTask(session->evaluate(script)); };
    EXPECT_EQ(run("return 1 + 1"), "2");
    EXPECT_EQ(run("return 'a'"), "\"a\"");
    EXPECT_EQ(run("return {a: [1, 'x', null], b: {c: true}}"), R"({"a":[1,"x",null],"b":{"c":true}})");
    EXPECT_EQ(run("return [1.5, -2]"), "[1.5,-2]");
    EXPECT_EQ(run("return null"), "null");
    EXPECT_EQ(run("return undefined"), std::nullopt);
    EXPECT_EQ(run("document.title = 'changed'"), std::nullopt) << "no return statement";
    EXPECT_EQ(run("return () => 1"), std::nullopt) << "JSON has no functions";
    // The page's own world: its globals show, the page agent's do not.
    EXPECT_EQ(run("return window.shopName"), "\"Corner\"");
    EXPECT_EQ(run("return typeof __agent"), "\"undefined\"");
    EXPECT_EQ(run("const r = await fetch(location.href); return r.status"), "200");
    EXPECT_EQ(run("return await new Promise(r => setTimeout(() => r('later'), 10))"), "\"later\"");

    auto thrown = browserErrorOf(session->evaluate("throw new Error('the cart is empty')"));
    ASSERT_TRUE(thrown);
    EXPECT_EQ(thrown->kind(), BrowserError::Kind::script);
    EXPECT_NE(thrown->description().find("the cart is empty"), std::string::npos) << thrown->description();

    auto unparsable = browserErrorOf(session->evaluate("return )"));
    ASSERT_TRUE(unparsable);
    EXPECT_EQ(unparsable->kind(), BrowserError::Kind::script);
}

TEST(Evaluate, APageThatReplacesItsBuiltInsChangesNoAnswer) {
    LoopbackServer server;
    server.serve("/", "<input aria-label=Name><script>Promise.prototype.then = function () { return this; };"
                      "JSON.stringify = () => '\"forged\"';</script>");
    auto session = BrowserSession::create({});
    Shown shown(session->page->get());
    PageSnapshot page = runTask(session->navigate(server.url("/")));
    ASSERT_EQ(page.elements.size(), 1u);

    EXPECT_EQ(runTask(session->evaluate("return {a: [1]}")), R"({"a":[1]})");
    EXPECT_EQ(runTask(session->evaluate("return await new Promise(r => setTimeout(() => r(2), 10))")), "2");
    runTask(session->fill(page.elements[0].ref, "Ann", {}));
    EXPECT_EQ(runTask(session->evaluate("return document.querySelector('input').value")), "\"Ann\"");
    auto thrown = browserErrorOf(session->evaluate("throw new Error('still told')"));
    ASSERT_TRUE(thrown);
    EXPECT_NE(thrown->description().find("still told"), std::string::npos) << thrown->description();
}

TEST(Evaluate, ActsOnTheActivePopup) {
    LoopbackServer server;
    server.serve("/", "<title>page</title><p>main</p>");
    server.serve("/popup", "<title>popup</title>");
    auto session = BrowserSession::create({});
    Shown shown(session->page->get());
    runTask(session->navigate(server.url("/")));

    // A view that shares the page's web process, as a popup does.
    auto popup = GRef<WebKitWebView>::adopt(WEBKIT_WEB_VIEW(
        g_object_ref_sink(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", session->page->get(), nullptr))));
    session->prepareStage(popup.get());
    webkit_web_view_load_uri(popup.get(), server.url("/popup").c_str());
    ASSERT_TRUE(spinUntil([&] { return !webkit_web_view_is_loading(popup.get()); }));
    session->popups.set({popup});
    session->activePopup.set(popup);
    EXPECT_EQ(runTask(session->evaluate("return document.title")), "\"popup\"");
    auto png = runTask(session->screenshot());
    EXPECT_GT(png.size(), 8u);
}

TEST(Screenshot, IsAPNGOfTheWindowsSize) {
    LoopbackServer server;
    server.serve("/", sessionPage("picture"));
    auto session = BrowserSession::create({});
    Shown shown(session->page->get());
    runTask(session->navigate(server.url("/")));

    auto png = runTask(session->screenshot());
    ASSERT_GT(png.size(), 24u);
    const std::vector<std::uint8_t> signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_EQ(std::vector<std::uint8_t>(png.begin(), png.begin() + 8), signature);
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    GtkWidget* view = GTK_WIDGET(session->page->get());
    int scale = gtk_widget_get_scale_factor(view);
    EXPECT_EQ(bigEndian(png, 16), std::uint32_t(gtk_widget_get_width(view) * scale));
    EXPECT_EQ(bigEndian(png, 20), std::uint32_t(gtk_widget_get_height(view) * scale));
    EXPECT_EQ(gtk_widget_get_width(view), 1024);
}
