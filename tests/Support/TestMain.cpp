#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>

// Brings GTK up when a display exists, so that suites with web views and
// pure suites share one main.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) {
        gtk_init();
    }
    return RUN_ALL_TESTS();
}
