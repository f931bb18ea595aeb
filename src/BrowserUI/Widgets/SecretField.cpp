#include "BrowserUI/Widgets/SecretField.h"

#include <glib.h>
#include <gtk/gtk.h>

#include <algorithm>

namespace vesk::ui {

namespace {

// The byte offset of a character position in `text`, at most its end.
std::size_t byteOffset(const std::string& text, int position) {
    glong characters = g_utf8_strlen(text.c_str(), static_cast<gssize>(text.size()));
    glong at = position < 0 ? characters : std::min<glong>(position, characters);
    return static_cast<std::size_t>(g_utf8_offset_to_pointer(text.c_str(), at) - text.c_str());
}

} // namespace

SecretField::SecretField() {
    set_show_peek_icon(false);
    GtkEditable* text = gtk_editable_get_delegate(GTK_EDITABLE(gobj()));
    // Before the text's own handler, which would put the typed text in the buffer.
    g_signal_connect(text, "insert-text", G_CALLBACK(&SecretField::inserting), this);
    g_signal_connect(text, "delete-text", G_CALLBACK(&SecretField::deleting), this);
}

SecretField::~SecretField() {
    if (GtkWidget* widget = GTK_WIDGET(gobj())) {
        if (GtkEditable* text = gtk_editable_get_delegate(GTK_EDITABLE(widget)))
            g_signal_handlers_disconnect_by_data(text, this);
    }
    std::fill(secret_.begin(), secret_.end(), '\0');
}

void SecretField::inserting(GtkEditable* text, const char* typed, int length, int* position, SecretField* field) {
    if (field->marking_) return;
    std::string piece = length < 0 ? std::string(typed) : std::string(typed, static_cast<std::size_t>(length));
    if (!g_utf8_validate(piece.c_str(), static_cast<gssize>(piece.size()), nullptr)) piece.clear();
    glong characters = g_utf8_strlen(piece.c_str(), static_cast<gssize>(piece.size()));
    // The secret changes first: the field announces the change once the marks are in.
    field->secret_.insert(byteOffset(field->secret_, *position), piece);
    std::fill(piece.begin(), piece.end(), '\0');
    g_signal_stop_emission_by_name(text, "insert-text");
    gunichar hidden = gtk_text_get_invisible_char(GTK_TEXT(text));
    gchar mark[8] = {};
    g_unichar_to_utf8(hidden ? hidden : U'*', mark);
    std::string marks;
    for (glong i = 0; i < characters; ++i) marks += mark;
    field->marking_ = true;
    gtk_editable_insert_text(text, marks.c_str(), static_cast<int>(marks.size()), position);
    field->marking_ = false;
}

void SecretField::deleting(GtkEditable*, int start, int end, SecretField* field) {
    std::size_t from = byteOffset(field->secret_, start);
    std::size_t to = byteOffset(field->secret_, end);
    if (to > from) field->secret_.erase(from, to - from);
}

} // namespace vesk::ui
