#pragma once

// A password field whose typed text never lies in the toolkit's text buffer.
// The buffer holds one hidden-character mark per character typed, and that is
// all anything reading the widget's text gets (a screen reader over AT-SPI
// among them, which GTK 4.8 hands a password field's text as typed); the
// secret itself is kept here.

#include <gtkmm/passwordentry.h>

#include <string>

namespace vesk::ui {

class SecretField : public Gtk::PasswordEntry {
public:
    SecretField();
    ~SecretField() override;
    SecretField(const SecretField&) = delete;
    SecretField& operator=(const SecretField&) = delete;

    // What the person typed (get_text() gives only the marks).
    const std::string& secret() const { return secret_; }

private:
    static void inserting(GtkEditable* text, const char* typed, int length, int* position, SecretField* field);
    static void deleting(GtkEditable* text, int start, int end, SecretField* field);

    std::string secret_;
    // True while the marks for a typed piece go into the buffer.
    bool marking_ = false;
};

} // namespace vesk::ui
