#pragma once

// A virtual X display for one test alone. Tests share the display they run
// on with the tests that run beside them, whose windows take the keyboard
// focus and cover one another; a test that moves the real pointer or types
// real keys runs again in a child process on a display of its own.

#include "Platform/Clock.h"
#include "Support/ChildProcess.h"

#include <string>

namespace vesk::test {

// Whether this process was started on a display of its own by
// rerunOnPrivateDisplay.
bool onPrivateDisplay();

// Runs the current test again in a child process of this program, on a new
// virtual display that nothing else uses, and waits for it to end.
ChildOutcome rerunOnPrivateDisplay(Duration deadline = seconds(90));

} // namespace vesk::test
