// Filling real pages with references: the value of the page's own site is
// typed, another site's is refused before anything is typed, and a value the
// page shows back reaches the agent only as its reference.

#include "BrowserCore/Secrets/SiteKey.h"
#include "SessionPages.h"
#include "Support/LoopbackServer.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

const std::string formPage = sessionPage("fill-form");

std::shared_ptr<BrowserSession> fillSession() {
    BrowserSession::Options options;
    options.settleTimeout = seconds(2);
    return BrowserSession::create(options);
}

std::string refNamed(const PageSnapshot& snapshot, const std::string& name) {
    for (const auto& element : snapshot.elements) {
        if (element.name == name) return element.ref;
    }
    ADD_FAILURE() << "no element named " << name;
    return "e0";
}

const PageElement* elementNamed(const std::vector<PageElement>& elements, const std::string& name) {
    for (const auto& element : elements) {
        if (element.name == name) return &element;
    }
    return nullptr;
}

std::string inputValue(BrowserSession& session, const std::string& id) {
    return pageValue(session.page->get(), "document.getElementById('" + id + "').value").get<std::string>();
}

} // namespace

TEST(FillPage, TypesTheValueOfItsOwnSiteAndTheAgentSeesOnlyTheReference) {
    LoopbackServer server;
    server.serve("/", formPage);
    auto session = fillSession();
    std::string site = *siteKeyOfURL(server.url("/"));
    session->setVariables({{site, {{"EMAIL", "ann@example.com"}}}});
    session->otpKeys.set({{site, {{"BANK", *TOTP::parse("GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ")}}}});
    session->now = [] { return std::chrono::system_clock::time_point(std::chrono::seconds(59)); };

    PageSnapshot page = runTask(session->navigate(server.url("/")));
    session->recordStart("sign in");
    ActionResult result = runTask(session->fill(refNamed(page, "Email"), "${EMAIL}"));
    EXPECT_EQ(inputValue(*session, "email"), "ann@example.com");
    // The recording keeps the reference, never the value.
    auto flow = runTask(session->recordStop());
    ASSERT_TRUE(flow);
    ASSERT_FALSE(flow->steps.empty());
    EXPECT_EQ(flow->steps.back().action, FlowStep::Action::fill);
    EXPECT_EQ(flow->steps.back().value, "${EMAIL}");

    // What the page shows back is hidden in the result and the next snapshot.
    ActionResult shown = session->redactActionResult(result);
    const PageElement* field = elementNamed(shown.changes.changed, "Email");
    ASSERT_TRUE(field);
    EXPECT_EQ(field->value, "${EMAIL}");
    PageSnapshot after = session->redactSnapshot(runTask(session->scan()));
    EXPECT_NE(after.text.find("Hello ${EMAIL}"), std::string::npos) << after.text;
    EXPECT_EQ(after.text.find("ann@example.com"), std::string::npos);
    EXPECT_EQ(elementNamed(after.elements, "Email")->value, "${EMAIL}");

    // A one-time code is the current step's, and shows back as its reference.
    runTask(session->fill(refNamed(page, "Code"), "${BANK.otp}"));
    EXPECT_EQ(inputValue(*session, "code"), "287082");
    EXPECT_EQ(elementNamed(session->redactSnapshot(runTask(session->scan())).elements, "Code")->value,
              "${BANK.otp}");
}

TEST(FillPage, RefusesAValueOfAnotherSiteAndTypesNothing) {
    LoopbackServer server;
    server.serve("/", formPage);
    auto session = fillSession();
    std::string site = *siteKeyOfURL(server.url("/"));
    session->setVariables({{"shop.example.com", {{"EMAIL", "ann@shop.example.com"}}},
                           {site, {{"NAME", "Ann"}}}});

    PageSnapshot page = runTask(session->navigate(server.url("/")));
    std::optional<BrowserError> failure;
    try {
        runTask(session->fill(refNamed(page, "Email"), "${NAME} ${EMAIL}"));
    } catch (const BrowserError& error) {
        failure = error;
    }
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->description(),
              "The variable ${EMAIL} belongs to shop.example.com and this window is on " + site +
                  ", so nothing was typed. A variable is typed only on its own site and that site's subdomains.");
    EXPECT_EQ(inputValue(*session, "email"), "");
    EXPECT_EQ(pageValue(session->page->get(), "document.getElementById('echo').textContent"), "Nobody yet");
}

TEST(FillPage, AFrameOfAnotherOriginTakesTheValuesOfItsOwnSite) {
    LoopbackServer server;
    server.serve("/inner", sessionPage("inner"));
    server.serve("/", "<!doctype html><title>Outer</title><iframe src='" + server.url("/inner", "localhost") +
                          "'></iframe>");
    auto session = fillSession();
    std::string outer = *siteKeyOfURL(server.url("/"));
    std::string inner = *siteKeyOfURL(server.url("/inner", "localhost"));
    session->setVariables({{outer, {{"TOKEN", "outer-token"}}}, {inner, {{"TOKEN", "inner-token"}}}});

    PageSnapshot page = snapshotShowing(*session, runTask(session->navigate(server.url("/"))), "textbox", "Token");
    std::string token = refNamed(page, "Token");
    EXPECT_EQ(session->siteForRef(token), inner);
    EXPECT_EQ(session->siteForRef(std::nullopt), outer);

    ActionResult result = runTask(session->fill(token, "${TOKEN}"));
    const PageElement* field = elementNamed(result.changes.changed, "Token");
    ASSERT_TRUE(field);
    EXPECT_EQ(field->value, "inner-token");
}

TEST(FillPage, TypesOnceAFieldsOwnHandlersRanAgainWhenTheyEmptiedItAndSaysWhenItKeepsNothing) {
    LoopbackServer server;
    server.serve("/", sessionPage("fill-clears"));
    auto session = fillSession();
    session->setVariables({{*siteKeyOfURL(server.url("/")), {{"NAME", "Grace"}}}});
    PageSnapshot page = runTask(session->navigate(server.url("/")));

    // One field starts its search afresh when it gets the focus, the other
    // when its list opens at the first key.
    for (const char* name : {"Assignee", "Reviewer"}) {
        ActionResult result = runTask(session->fill(refNamed(page, name), "Grace"));
        const PageElement* field = elementNamed(result.changes.changed, name);
        ASSERT_TRUE(field) << name;
        EXPECT_EQ(field->value, "Grace") << name;
        EXPECT_TRUE(elementNamed(result.suggestions, "Grace Hopper")) << name;
    }
    // The first is typed once, after its focus handlers ran; the second again once it emptied.
    EXPECT_EQ(pageValue(session->page->get(), "heard"),
              nlohmann::json({{"Assignee", {"Grace"}}, {"Reviewer", {"Grace", "Grace"}}, {"Phone", nlohmann::json::array()}}));
    // A field that keeps none of the text says so, naming the text as written.
    std::string phone = refNamed(page, "Phone");
    std::string failure = errorOf(session->fill(phone, "${NAME}"));
    EXPECT_TRUE(failure.starts_with("Element " + phone + " (textbox \"Phone\") did not keep the text \"${NAME}\": "))
        << failure;
    EXPECT_EQ(failure.find("Grace"), std::string::npos) << failure;
}
