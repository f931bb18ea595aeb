#pragma once

// What a screen reader finds of this program: the elements that report the
// keyboard focus, read over AT-SPI by a reader in a process of its own.

#include "Support/ChildProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

// The test runner turns accessibility off for every test; this one runs
// again in a child that has it on, on a D-Bus session of its own, so that
// its accessibility bus serves this program and no test beside it.
#define WITH_SCREEN_READER()                                                                                  \
    if (!g_getenv("VESK_ACCESSIBLE")) {                                                                       \
        auto outcome = vesk::test::rerunThisTest(                                                             \
            {{"GTK_A11Y", std::nullopt}, {"NO_AT_BRIDGE", std::nullopt}, {"VESK_ACCESSIBLE", "1"}}, vesk::seconds(150), \
            {"dbus-run-session", "--"});                                                                      \
        if (outcome.result == vesk::test::ChildOutcome::Result::skipped) GTEST_SKIP() << outcome.output;       \
        EXPECT_EQ(outcome.result, vesk::test::ChildOutcome::Result::passed) << outcome.output;                 \
        return;                                                                                               \
    }

namespace vesk::test {

struct FocusedElement {
    std::string role;
    std::string name;
    std::optional<std::string> text;  // what an element that offers text gives
};

// Every element of this program that says it has the keyboard focus.
inline std::vector<FocusedElement> focusedElements() {
    auto run = runProcess({"/usr/bin/python3", ACCESSIBLE_TREE_READER, std::to_string(getpid())}, {}, seconds(60));
    EXPECT_TRUE(run.succeeded) << run.output;
    std::vector<FocusedElement> focused;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] != '{') continue;
        auto json = nlohmann::json::parse(line);
        auto states = json["states"].get<std::vector<std::string>>();
        if (std::find(states.begin(), states.end(), "focused") == states.end()) continue;
        focused.push_back({json["role"], json["name"], json["text"].is_string() ? std::optional(json["text"].get<std::string>()) : std::nullopt});
    }
    return focused;
}

} // namespace vesk::test
