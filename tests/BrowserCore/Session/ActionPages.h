#pragma once

// Helpers for the tests that act on real pages through the session: finding
// refs in a snapshot, catching the session's errors, and noting the labels
// of `waitingFor` while an action runs.

#include "BrowserCore/Session/BrowserSession.h"
#include "Support/MainLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vesk::test {

inline std::shared_ptr<BrowserSession> actionSession() {
    BrowserSession::Options options;
    options.settleTimeout = seconds(2);
    return BrowserSession::create(options);
}

// The ref of the element with that role and name; fails the test without one.
inline std::string refOf(const PageSnapshot& snapshot, const std::string& role, const std::string& name) {
    for (const auto& element : snapshot.elements) {
        if (element.role == role && element.name == name) return element.ref;
    }
    ADD_FAILURE() << "no " << role << " named \"" << name << "\" in the snapshot of " << snapshot.url;
    return "e0";
}

inline std::vector<std::string> namesIn(const std::vector<PageElement>& elements) {
    std::vector<std::string> names;
    for (const auto& element : elements) names.push_back(element.name);
    return names;
}

inline bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The session's error that ends the task; fails the test when it succeeds.
template <typename T>
std::optional<BrowserError> browserErrorOf(Task<T> task) {
    try {
        runTask(std::move(task));
    } catch (const BrowserError& error) {
        return error;
    }
    ADD_FAILURE() << "the operation did not fail with a browser error";
    return std::nullopt;
}

// Runs the task, noting each label `waitingFor` takes while it runs.
template <typename T>
T runNotingLabels(BrowserSession& session, Task<T> task, std::vector<std::string>& labels) {
    EXPECT_TRUE(spinUntil([&] {
        if (session.waitingFor && (labels.empty() || labels.back() != *session.waitingFor)) {
            labels.push_back(*session.waitingFor);
        }
        return task.isDone();
    }));
    return task.result();
}

} // namespace vesk::test
