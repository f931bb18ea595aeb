#include "BrowserUI/Widgets/NoEmojiChooser.h"

namespace vesk::ui {

void leaveOutEmojiChooser(Gtk::Window& window) {
    window.property_focus_widget().signal_changed().connect([&window] {
        // The focus sits on the GtkText inside an entry; GTK turns the
        // chooser's action off for a text that asks for no emoji.
        GtkWidget* focus = gtk_window_get_focus(window.gobj());
        if (!focus || !GTK_IS_TEXT(focus)) return;
        GtkText* text = GTK_TEXT(focus);
        gtk_text_set_input_hints(text, GtkInputHints(gtk_text_get_input_hints(text) | GTK_INPUT_HINT_NO_EMOJI));
    });
}

} // namespace vesk::ui
