// The steps that actions on real pages add to a recording: made before
// acting, appended only after the action succeeded, and left out for
// subframes, popups and scrolling.

#include "SessionPages.h"
#include "Support/LoopbackServer.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

using Action = FlowStep::Action;

FlowStep step(Action action, std::optional<Locator> target, std::optional<std::string> value = std::nullopt) {
    FlowStep s;
    s.action = action;
    s.target = std::move(target);
    s.value = std::move(value);
    return s;
}

Locator locator(std::string role, std::string name, std::string selector) {
    return Locator{std::move(role), std::move(name), 0, std::move(selector)};
}

const std::string signInPage = sessionPage("sign-in");

} // namespace

TEST(ActionRecording, StepsHoldTheLocatorTakenBeforeActing) {
    LoopbackServer server;
    server.serve("/", signInPage);
    server.serve("/frame", sessionPage("frame"));
    server.serve("/popup", sessionPage("popup-done"));
    auto session = actionSession();
    const std::string url = server.url("/");
    PageSnapshot page = runTask(session->navigate(url));
    session->recordStart("sign in");

    // The click renames its button; the step keeps the name it had.
    runTask(session->click(refOf(page, "button", "Sign in")));
    std::string user = refOf(page, "textbox", "User");
    std::string password = refOf(page, "textbox", "Password");
    std::string color = refOf(page, "combobox", "Color");
    runTask(session->select(color, "Green"));
    runTask(session->select(color, "Red", "${COLOR}"));
    EXPECT_EQ(pageValue(session->page->get(), "document.getElementById('color').value"), "Red");
    runTask(session->press("Tab"));
    runTask(session->press("Enter", user));

    // What a fill records: a literal typed into a password field never
    // shows, text written with references stays as written.
    nlohmann::json literal{{"ref", password}, {"value", "hunter2"}};
    runTask(session->actAndRecord("fill", literal, Action::fill, password, "hunter2", true));
    runTask(session->actAndRecord("fill", literal, Action::fill, password, "${SITE.password}", true));
    runTask(session->actAndRecord("fill", nlohmann::json{{"ref", user}, {"value", "ann"}}, Action::fill, user, "ann", true));

    // Scrolling and failures leave no step.
    runTask(session->scrollBy(0, 100));
    runTask(session->scrollTo(refOf(page, "button", "Sign in")));
    EXPECT_TRUE(browserErrorOf(session->click(refOf(page, "button", "Locked"))));
    EXPECT_TRUE(browserErrorOf(session->click("e99999")));

    // An element of a subframe is acted on but not recorded.
    std::string framed = refOf(page, "button", "Framed");
    ASSERT_TRUE(session->frameForRef(framed));
    ActionResult inFrame = runTask(session->click(framed));
    EXPECT_TRUE(contains(namesIn(inFrame.changes.changed), "Framed done"));

    std::vector<FlowStep> expected{
        step(Action::navigate, std::nullopt, url),
        step(Action::click, locator("button", "Sign in", "#go")),
        step(Action::select, locator("combobox", "Color", "#color"), "Green"),
        step(Action::select, locator("combobox", "Color", "#color"), "${COLOR}"),
        step(Action::press, std::nullopt, "Tab"),
        step(Action::press, locator("textbox", "User", "#user"), "Enter"),
        step(Action::fill, locator("textbox", "Password", "#pw"), "${PASSWORD}"),
        step(Action::fill, locator("textbox", "Password", "#pw"), "${SITE.password}"),
        step(Action::fill, locator("textbox", "User", "#user"), "ann"),
    };
    ASSERT_TRUE(session->recording->has_value());
    EXPECT_EQ((*session->recording)->steps, expected);

    // A click that opens a popup ends with the popup active, so its step is
    // dropped; clicks inside the popup are not recorded either.
    ActionResult opened = runTask(session->click(refOf(page, "button", "Open")));
    ASSERT_TRUE(opened.switchedWindow);
    ActionResult inPopup = runTask(session->click(refOf(*session->currentSnapshot(), "button", "Inside")));
    EXPECT_TRUE(contains(namesIn(inPopup.changes.changed), "Done"));
    EXPECT_EQ((*session->recording)->steps, expected);

    // Back on the page, the hover of an element records its locator alone.
    session->selectWindow("main");
    runTask(session->hover(refOf(page, "button", "Open")));
    expected.push_back(step(Action::hover, locator("button", "Open", "#opener")));
    EXPECT_EQ((*session->recording)->steps, expected);
}
