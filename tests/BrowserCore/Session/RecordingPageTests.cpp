// Recording flows on a real page: the start step, the person's clicks, typing
// and choices made with real input, passwords, scripted events and the typing
// taken in at stop.

#include "BrowserCore/FlowModel/FlowStepPrinting.h"
#include "BrowserCore/Secrets/SiteKey.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "RealInputPages.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

const char* recordedForm = R"HTML(<title>Form</title>
<label>City <input id=city></label>
<label>Password <input id=pw type=password></label>
<select id=size aria-label=Size><option>Small</option><option>Large</option></select>
<button id=go>Go</button>
<script>
  window.trusted = [];
  for (const type of ['click', 'input', 'change']) addEventListener(type, e => trusted.push(type + ':' + e.isTrusted), true);
</script>)HTML";

FlowStep recordedStep(FlowStep::Action action, std::optional<std::string> value = std::nullopt,
              std::optional<Locator> target = std::nullopt) {
    FlowStep made;
    made.action = action;
    made.value = std::move(value);
    made.target = std::move(target);
    return made;
}

std::vector<FlowStep> recordedSteps(const BrowserSession& session) {
    return session.recording->has_value() ? (*session.recording)->steps : std::vector<FlowStep>{};
}

// Posts a message on the page agent's "person" channel, from the page
// agent's own world, as the page agent would.
void postPersonMessage(WebKitWebView* view, const std::string& body) {
    std::string script = "__veskPost('person', " + nlohmann::json(body).dump() + "); true";
    GRef<WebKitWebView> keep = GRef<WebKitWebView>::retain(view);
    bool done = false;
    webkit_web_view_evaluate_javascript(
        view, script.c_str(), -1, BrowserSession::worldName, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
            g_clear_object(&value);
            *static_cast<bool*>(data) = true;
        },
        &done);
    ASSERT_TRUE(spinUntil([&] { return done; }));
}

// A page shown in a window, which the person uses with real input.
struct PersonAtPage {
    LoopbackServer server;
    std::shared_ptr<BrowserSession> session = BrowserSession::create({});
    Shown shown{session->page->get(), 800, 600};
    RealInput& input = *RealInput::get();

    WebKitWebView* view() const { return session->page->get(); }
    // Loads the page and gives its window the keyboard.
    bool open(const char* html) {
        server.serve("/", html);
        GtkWidget* widget = GTK_WIDGET(view());
        if (!loadPage(*session, server.url("/"))) return false;
        if (!spinUntil([&] { return gtk_widget_get_mapped(widget) && gtk_widget_get_width(widget) > 100; })) return false;
        input.focus(widget);
        return true;
    }
    void clickOn(const std::string& selector) {
        auto [x, y] = centreOf(view(), selector);
        input.click(GTK_WIDGET(view()), x, y);
    }
};

class RecordingPage : public testing::Test {
protected:
    void SetUp() override {
        if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
        BrowserSession::Options options;
        options.settleTimeout = seconds(1);
        session = BrowserSession::create(options);
        shown = std::make_unique<Shown>(session->page->get(), 800, 600);
        server.serve("/", recordedForm);
        server.serve("/second", "<title>Second</title><p>second page</p>");
    }

    WebKitWebView* view() { return session->page->get(); }

    // Makes the page's site know the variable, as the profile store would.
    void storeOnThisSite(std::map<std::string, std::string> values) {
        auto site = siteKeyOfURL(server.url("/"));
        ASSERT_TRUE(site);
        session->setVariables({{*site, std::move(values)}});
    }

    LoopbackServer server;
    std::shared_ptr<BrowserSession> session;
    std::unique_ptr<Shown> shown;
};

} // namespace

TEST_F(RecordingPage, StartsWithTheLoadedPageAndANavigationReplacesThatStart) {
    // Nothing loaded yet: an empty recording.
    session->recordStart("empty");
    EXPECT_TRUE(session->isRecording());
    EXPECT_FALSE(*session->recordingIsOnlyItsStart);
    auto empty = runTask(session->recordStop());
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, (Flow{"empty", {}}));
    EXPECT_FALSE(session->isRecording());
    EXPECT_EQ(runTask(session->recordStop()), std::nullopt);

    ASSERT_TRUE(loadPage(*session, "about:blank"));
    session->recordStart("blank");
    EXPECT_EQ(recordedSteps(*session), std::vector<FlowStep>{});
    EXPECT_FALSE(*session->recordingIsOnlyItsStart);

    ASSERT_TRUE(loadPage(*session, server.url("/")));
    pageValue(view(), "console.error('before'); true");
    ASSERT_TRUE(spinUntil([&] { return session->console.errorCount() == 1; }));
    session->recordStart("start");  // replaces the recording under way
    EXPECT_EQ(**session->recording, (Flow{"start", {recordedStep(FlowStep::Action::navigate, server.url("/"))}}));
    EXPECT_TRUE(*session->recordingIsOnlyItsStart);
    EXPECT_EQ(*session->recordingConsoleMark, 1);

    runTask(session->navigate(server.url("/second")));
    EXPECT_EQ(recordedSteps(*session),
              (std::vector<FlowStep>{recordedStep(FlowStep::Action::navigate, server.url("/second"))}));
    EXPECT_FALSE(*session->recordingIsOnlyItsStart);
    runTask(session->recordStop());
    EXPECT_EQ(*session->recordingConsoleMark, 1) << "stopping keeps the mark";
}

TEST_F(RecordingPage, ThePersonsMessagesAreKeptOnlyWhenTheyDecodeAndComeFromThePerson) {
    ASSERT_TRUE(loadPage(*session, server.url("/")));
    storeOnThisSite({{"CITY", "Bern"}});
    const Locator go{"button", "Go", 0, "#go"};
    const std::string goTarget = R"("target":{"role":"button","name":"Go","index":0,"selector":"#go","secret":false})";

    postPersonMessage(view(), R"({"action":"click",)" + goTarget + R"(,"trusted":true})");
    session->recordStart("person");
    postPersonMessage(view(), "not json");
    postPersonMessage(view(), R"({"action":"type","value":"x","trusted":true})");
    postPersonMessage(view(), R"({"action":"click",)" + goTarget + R"(,"trusted":false})");
    postPersonMessage(view(), R"({"action":"click",)" + goTarget + R"(,"trusted":true})");
    postPersonMessage(view(), R"({"action":"fill","target":{"role":"textbox","name":"City","index":0,"secret":false},)"
                              R"("value":"Bern","trusted":true})");
    postPersonMessage(view(), R"({"action":"press","value":"Enter","trusted":true})");
    const std::vector<FlowStep> expected{
        recordedStep(FlowStep::Action::navigate, server.url("/")),
        recordedStep(FlowStep::Action::click, std::nullopt, go),
        recordedStep(FlowStep::Action::fill, "${CITY}", Locator{"textbox", "City", 0, std::nullopt}),
        recordedStep(FlowStep::Action::press, "Enter"),
    };
    ASSERT_TRUE(spinUntil([&] { return recordedSteps(*session).size() >= expected.size(); }));
    EXPECT_EQ(recordedSteps(*session), expected);

    // Scripted events count once the session is told to record them.
    session->options.modify([](auto& options) { options.recordsScriptedEvents = true; });
    postPersonMessage(view(), R"({"action":"click",)" + goTarget + R"(,"trusted":false})");
    ASSERT_TRUE(spinUntil([&] { return recordedSteps(*session).size() == expected.size() + 1; }));
    EXPECT_EQ(recordedSteps(*session).back(), recordedStep(FlowStep::Action::click, std::nullopt, go));
}

TEST(RecordingRealInput, ThePersonsClicksTypingAndChoicesBecomeStepsWithoutThePassword) {
    if (!goesOnWithRealInput()) return;
    PersonAtPage person;
    auto& server = person.server;
    auto& session = person.session;
    auto& input = person.input;
    ASSERT_TRUE(person.open(recordedForm));
    session->setVariables({{siteKeyOfURL(server.url("/")).value(), {{"CITY", "Bern"}}}});
    auto view = [&] { return person.view(); };
    auto clickOn = [&](const std::string& selector) { person.clickOn(selector); };
    auto focusedID = [&] { return pageValue(view(), "document.activeElement.id"); };
    // Keys reach the page one after the other, and a click may overtake
    // them: wait for each text, as a person would look up after typing.
    auto valueIs = [&](const std::string& selector, const std::string& value) {
        return spinUntil([&] { return pageValue(view(), "document.querySelector('" + selector + "').value") == value; });
    };

    session->recordStart("form");
    clickOn("#city");
    ASSERT_TRUE(spinUntil([&] { return focusedID() == "city"; }));
    input.type("Bern");
    ASSERT_TRUE(valueIs("#city", "Bern"));
    clickOn("#pw");
    ASSERT_TRUE(spinUntil([&] { return focusedID() == "pw"; }));
    input.type("Hunter2!");
    ASSERT_TRUE(valueIs("#pw", "Hunter2!"));
    input.key("Tab");
    ASSERT_TRUE(spinUntil([&] { return focusedID() == "size"; }));
    input.key("Down");
    ASSERT_TRUE(valueIs("#size", "Large"));
    // A click the page's own script makes is not the person's.
    pageValue(view(), "document.querySelector('#go').click(); true");
    clickOn("#go");
    // Typing the page has not reported when the recording stops.
    clickOn("#city");
    ASSERT_TRUE(spinUntil([&] { return focusedID() == "city"; }));
    input.type("!");
    ASSERT_TRUE(valueIs("#city", "Bern!"));
    const std::vector<FlowStep> reported{
        recordedStep(FlowStep::Action::navigate, server.url("/")),
        recordedStep(FlowStep::Action::fill, "${CITY}", Locator{"textbox", "City", 0, "#city"}),
        recordedStep(FlowStep::Action::fill, "${PASSWORD}", Locator{"textbox", "Password", 0, "#pw"}),
        recordedStep(FlowStep::Action::select, "Large", Locator{"combobox", "Size", 0, "#size"}),
        recordedStep(FlowStep::Action::click, std::nullopt, Locator{"button", "Go", 0, "#go"}),
    };
    ASSERT_TRUE(spinUntil([&] { return recordedSteps(*session).size() >= reported.size(); }));
    EXPECT_EQ(recordedSteps(*session), reported);
    EXPECT_EQ(pageValue(view(), "trusted.filter(t => t.endsWith(':false'))"), nlohmann::json({"click:false"}));

    auto flow = runTask(session->recordStop());
    ASSERT_TRUE(flow);
    auto all = reported;
    all.push_back(recordedStep(FlowStep::Action::fill, "${CITY}!", Locator{"textbox", "City", 0, "#city"}));
    EXPECT_EQ(flow->steps, all);
    EXPECT_EQ(flow->encoded().find("Hunter2"), std::string::npos);
}


// A grid of divs sorts by a click on its header, which shows no pointer hand
// and whose listener the page's script adds: the element list lists the
// header for its sort state, so the person's click on it is a click step.
TEST(RecordingRealInput, ThePersonsClickOnAGridHeaderThatSortsIsAClickStep) {
    if (!goesOnWithRealInput()) return;
    PersonAtPage person;
    ASSERT_TRUE(person.open(R"HTML(<title>Scores</title>
<div role=grid>
  <div role=row><div role=columnheader id=name aria-sort=none>Name</div><div role=columnheader id=score aria-sort=none>Score</div></div>
  <div role=row><div role=gridcell>Ann</div><div role=gridcell>79</div></div>
  <div role=row><div role=gridcell>Bo</div><div role=gridcell>40</div></div>
</div>
<style>[role=row] { display: flex; gap: 40px; font-size: 24px; }</style>
<script>
  document.querySelector('#score').addEventListener('click', e => {
    e.currentTarget.setAttribute('aria-sort', 'ascending');
    const grid = document.querySelector('[role=grid]');
    grid.append(grid.children[1]);
  });
</script>)HTML"));
    auto& session = person.session;
    session->recordStart("sort");
    person.clickOn("#score");
    ASSERT_TRUE(spinUntil([&] { return pageValue(person.view(), "score.getAttribute('aria-sort')") == "ascending"; }));
    const std::vector<FlowStep> expected{
        recordedStep(FlowStep::Action::navigate, person.server.url("/")),
        recordedStep(FlowStep::Action::click, std::nullopt, Locator{"columnheader", "Score", 0, "#score"}),
    };
    EXPECT_TRUE(spinUntil([&] { return recordedSteps(*session).size() >= expected.size(); }));
    EXPECT_EQ(recordedSteps(*session), expected);
}
