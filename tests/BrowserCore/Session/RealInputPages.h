#pragma once

// For the session tests that use a page with real input made by the X
// server: where an element shows, and whether this process goes on with
// such a test.

#include "SessionPages.h"
#include "Support/PrivateDisplay.h"
#include "Support/RealInput.h"

namespace vesk::test {

// The middle of the element the selector finds, in the view's coordinates.
inline std::pair<double, double> centreOf(WebKitWebView* view, const std::string& selector) {
    auto box = pageValue(view, "(() => { const r = document.querySelector('" + selector +
                                   "').getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()");
    return {box[0].get<double>(), box[1].get<double>()};
}

// Real pointer and key events need a display of the test's own, where no
// other test's window takes the pointer or the keyboard. Answers whether
// this process goes on with the test: elsewhere the test runs again in a
// child process on such a display, and this one reports how it went.
inline bool goesOnWithRealInput() {
    auto skip = [](const std::string& why) { GTEST_SKIP() << why; };
    if (!onPrivateDisplay()) {
        auto outcome = rerunOnPrivateDisplay();
        if (outcome.result == ChildOutcome::Result::skipped) skip(outcome.output);
        else EXPECT_EQ(outcome.result, ChildOutcome::Result::passed) << outcome.output;
        return false;
    }
    if (gtk_is_initialized() && RealInput::get()) return true;
    skip("no real input on this display");
    return false;
}

} // namespace vesk::test
