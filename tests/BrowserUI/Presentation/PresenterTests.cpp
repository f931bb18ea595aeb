#include "BrowserUI/Presentation/ActivityTexts.h"
#include "BrowserUI/Presentation/AddressText.h"
#include "BrowserUI/Presentation/AgentStatus.h"
#include "BrowserUI/Window/PopupView.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::ui;
using Outcome = AgentActivity::Entry::Outcome;

namespace {

const Instant t0{};

AgentActivity::Entry entry(Outcome outcome, double start, std::optional<double> end, std::string target = "") {
    AgentActivity::Entry e;
    e.id = 1;
    e.date = t0 + seconds(start);
    if (end) e.finished = t0 + seconds(*end);
    e.tool = "click";
    e.target = std::move(target);
    e.outcome = std::move(outcome);
    return e;
}

} // namespace

TEST(AgentStatus, ShowsTheFirstStateThatHoldsInItsColour) {
    AgentActivity::Run run{t0, 3, 62.5, 2, {1, 2}};
    std::vector<AgentActivity::Entry> succeeded{entry(Outcome::succeeded(), 0, 1)};
    std::vector<AgentActivity::Entry> running{entry(Outcome::running(), 0, {})};
    std::vector<AgentActivity::Entry> failed{entry(Outcome::failed("gone"), 0, 1)};
    struct Case {
        bool paused, recording;
        std::vector<AgentActivity::Entry> entries;
        std::optional<AgentActivity::Run> run;
        AgentStatus status;
    };
    const Case cases[] = {
        {false, false, {}, std::nullopt, {"idle · Ctrl+J", "faintText"}},
        {true, true, running, run, {"paused", "amber"}},
        {false, true, running, run, {"recording", "red"}},
        {false, false, succeeded, run, {"idle · 3 steps · 1:02", "faintText"}},
        {false, false, running, run, {"step 3 · 1:02", "blue"}},
        {false, false, failed, run, {"step 3 failed · 1:02", "red"}},
        {false, false, succeeded, std::nullopt, {"idle · Ctrl+J", "faintText"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(agentStatus(c.paused, c.recording, c.entries, c.run), c.status) << c.status.state;
    }
}

TEST(AddressText, SplitsTheHostFromThePathAndQuery) {
    const std::pair<const char*, FormattedAddress> cases[] = {
        {"https://example.com/a/b?q=1&r=2#frag", {"example.com", "/a/b?q=1&r=2"}},
        {"http://127.0.0.1:8080/", {"127.0.0.1", "/"}},
        {"https://xn--bcher-kva.example/caf%C3%A9", {"xn--bcher-kva.example", "/caf%C3%A9"}},
        {"https://example.com", {"example.com", ""}},
        {"https://example.com?", {"example.com", "?"}},
        {"about:blank", {"about", ":"}},
        {"data:text/html,hi", {"data", ":"}},
    };
    for (const auto& [url, parts] : cases) EXPECT_EQ(formattedAddress(url), parts) << url;

    EXPECT_EQ(popupHostText("https://login.example/sign-in"), "login.example");
    EXPECT_EQ(popupHostText("about:blank"), "…");
    EXPECT_EQ(popupHostText(std::nullopt), "…");
}

TEST(ActivityTexts, SummariseTheRun) {
    AgentActivity::Run single{t0, 1, 0.4, 0.4, {}};
    EXPECT_EQ(runSummaryLines(single), (RunSummaryLines{"1 steps · 0:00", "page 400 ms · model 0 ms", std::nullopt}));
    AgentActivity::Run run{t0, 4, 75.2, 3.25, {4, 1, 3}};
    EXPECT_EQ(runSummaryLines(run), (RunSummaryLines{"4 steps · 1:15", "page 3.2 s · model 8.0 s",
                                                     "median decision 3.0 s"}));
}

TEST(ActivityTexts, ALogRowShowsEachStateOfItsCall) {
    Instant start = t0 - seconds(65);
    EXPECT_EQ(logRowTexts(entry(Outcome::running(), 0, {}, "e12 “Send”"), start),
              (LogRowTexts{"click …", "blue", "1:05", "e12 “Send”", std::nullopt}));
    EXPECT_EQ(logRowTexts(entry(Outcome::succeeded(), 0, 0.25), start),
              (LogRowTexts{"click", "text", "250 ms · 1:05", std::nullopt, std::nullopt}));
    EXPECT_EQ(logRowTexts(entry(Outcome::failed("No element e9"), 0, 1.5, "e9"), start),
              (LogRowTexts{"click", "red", "1.5 s · 1:05", "e9", "No element e9"}));
}
