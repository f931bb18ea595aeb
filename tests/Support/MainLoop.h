#pragma once

#include "Platform/Clock.h"
#include "Platform/Task.h"

#include <glib.h>

#include <functional>
#include <stdexcept>

namespace vesk::test {

// Spins the default main context until `done` holds or the deadline passes.
// Returns whether `done` held.
inline bool spinUntil(const std::function<bool()>& done, Duration deadline = seconds(20)) {
    auto end = Clock::now() + deadline;
    // A ticking source bounds each blocking iteration, so the deadline is seen.
    guint tick = g_timeout_add(10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    bool held = true;
    while (!done()) {
        if (Clock::now() >= end) {
            held = false;
            break;
        }
        g_main_context_iteration(nullptr, TRUE);
    }
    g_source_remove(tick);
    return held;
}

// Runs a task to its end on the main loop and gives back its result.
template <typename T>
T runTask(Task<T> task, Duration deadline = seconds(20)) {
    if (!spinUntil([&] { return task.isDone(); }, deadline)) {
        task.cancel();
        throw std::runtime_error("the task did not finish before the test's deadline");
    }
    return task.result();
}

} // namespace vesk::test
