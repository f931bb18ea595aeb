#pragma once

// For tests that press real keys on the window: they need a display of the
// test's own, where no other test's window takes the keyboard.

#include "Support/PrivateDisplay.h"
#include "Support/RealInput.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtkmm/widget.h>

#define ON_PRIVATE_DISPLAY()                                                                           \
    if (!vesk::test::onPrivateDisplay()) {                                                             \
        auto outcome = vesk::test::rerunOnPrivateDisplay();                                            \
        if (outcome.result == vesk::test::ChildOutcome::Result::skipped) GTEST_SKIP() << outcome.output; \
        EXPECT_EQ(outcome.result, vesk::test::ChildOutcome::Result::passed) << outcome.output;         \
        return;                                                                                        \
    }                                                                                                  \
    if (!gtk_is_initialized() || !vesk::test::RealInput::get()) GTEST_SKIP() << "no real input on this display"

namespace vesk::test {

// Whether the keyboard focus of the widget's window is on the widget or inside it.
inline bool holdsFocus(Gtk::Widget& widget) {
    GtkRoot* root = gtk_widget_get_root(widget.gobj());
    GtkWidget* focus = root ? gtk_root_get_focus(root) : nullptr;
    return focus && (focus == widget.gobj() || gtk_widget_is_ancestor(focus, widget.gobj()));
}

} // namespace vesk::test
