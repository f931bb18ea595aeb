#include "BrowserUI/Widgets/Palette.h"

#include "BrowserUI/Widgets/StyleSheet.h"

#include <glib.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/settings.h>
#include <gtkmm/stylecontext.h>

#include <cmath>

namespace vesk::ui {

namespace {

// A component in CSS's 0-255 range, kept exact to the table's three
// decimals by writing it as a percentage.
std::string percent(double component) {
    char buffer[G_ASCII_DTOSTR_BUF_SIZE];
    return std::string(g_ascii_formatd(buffer, sizeof buffer, "%.1f", component * 100)) + "%";
}

} // namespace

std::string paletteCSS() {
    std::string css;
    for (const auto& colour : palette) {
        css += "@define-color " + std::string(colour.name) + " rgb(" + percent(colour.red) + "," +
               percent(colour.green) + "," + percent(colour.blue) + ");\n";
    }
    for (const auto& colour : palette) {
        std::string name = colour.name;
        css += "." + name + " { color: @" + name + "; }\n";
        css += ".on-" + name + " { background-color: @" + name + "; }\n";
    }
    return css;
}

void installStyles() {
    static bool installed = false;
    if (installed) return;
    auto display = Gdk::Display::get_default();
    if (!display) return;
    installed = true;
    Gtk::Settings::get_for_display(display)->property_gtk_application_prefer_dark_theme() = true;
    auto provider = Gtk::CssProvider::create();
    provider->load_from_data(paletteCSS() + viewStyleSheet);
    Gtk::StyleContext::add_provider_for_display(display, provider, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

} // namespace vesk::ui
