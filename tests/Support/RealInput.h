#pragma once

// Real input for page tests: pointer and key events made by the X server
// itself through its XTEST extension, as if from a mouse and a keyboard. They
// reach GTK and then WebKit the way a person's do, so the page sees trusted
// events. Available only on an X11 display whose server offers XTEST.

#include <gtk/gtk.h>

#include <string_view>

namespace vesk::test {

class RealInput {
public:
    // The one instance, or null when real input cannot be made here.
    static RealInput* get();

    // Gives the widget's window the keyboard focus.
    void focus(GtkWidget* widget);
    // Moves the pointer to the point of the widget (in its own coordinates)
    // and clicks the left button there.
    void click(GtkWidget* widget, double x, double y);
    // Types printable ASCII text, key by key, with Shift where needed.
    void type(std::string_view text);
    // Presses and releases one key named by its X keysym name ("Return"),
    // with a modifier key held down ("Control_L") when one is named.
    void key(const char* keysymName, const char* modifierName = nullptr);

    struct Api;

private:
    explicit RealInput(Api* api) : api_(api) {}
    void tap(unsigned long keysym);
    Api* api_;
};

} // namespace vesk::test
