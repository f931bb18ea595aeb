#include "BrowserUI/StandIns.h"

#include <glib.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/settings.h>
#include <gtkmm/stylecontext.h>

#include <array>

namespace vesk::ui::standin {

namespace {

struct Colour {
    const char* name;
    const char* css;
};
constexpr std::array<Colour, 13> colours{{
    {"background", "rgb(13,13,15)"},
    {"sidebar", "rgb(19,19,23)"},
    {"raised", "rgb(26,26,31)"},
    {"separator", "rgb(31,31,37)"},
    {"edge", "rgb(38,38,44)"},
    {"text", "rgb(232,232,234)"},
    {"secondaryText", "rgb(138,138,146)"},
    {"faintText", "rgb(90,90,98)"},
    {"violet", "rgb(124,92,255)"},
    {"green", "rgb(63,191,143)"},
    {"amber", "rgb(224,164,88)"},
    {"blue", "rgb(90,169,230)"},
    {"red", "rgb(239,101,101)"},
}};

std::string fill(std::string_view text, std::initializer_list<std::string_view> values) {
    std::string filled;
    auto next = values.begin();
    for (std::size_t at = 0; at < text.size();) {
        std::string_view rest = text.substr(at);
        std::size_t length = rest.starts_with("%lld") ? 4 : rest.starts_with("%@") ? 2 : 0;
        if (length == 0) {
            filled += text[at++];
            continue;
        }
        if (next != values.end()) filled += *next++;
        at += length;
    }
    return filled;
}

} // namespace

std::string localized(const char* key) {
    return key;
}
std::string localized(const char* key, std::initializer_list<std::string_view> values) {
    return fill(key, values);
}
std::string localizedCount(const char* key, std::int64_t count) {
    return fill(key, {std::to_string(count)});
}
std::string formatStepCount(std::int64_t count) {
    return localizedCount("%lld steps", count);
}

Gtk::Label* makeLabel(const std::string& text, std::initializer_list<const char*> classes) {
    auto* label = Gtk::make_managed<Gtk::Label>();
    label->set_use_markup(false);
    label->set_use_underline(false);
    label->set_text(text);
    label->set_xalign(0);
    for (const char* name : classes)
        label->add_css_class(name);
    return label;
}

Gtk::Box* makeRule(Gtk::Orientation orientation, const char* colour) {
    auto* rule = Gtk::make_managed<Gtk::Box>();
    rule->add_css_class("rule");
    rule->add_css_class(std::string("on-") + colour);
    if (orientation == Gtk::Orientation::HORIZONTAL) {
        rule->set_size_request(-1, 1);
        rule->set_hexpand(true);
    } else {
        rule->set_size_request(1, -1);
        rule->set_vexpand(true);
    }
    return rule;
}

Gtk::Button* makePlainButton(const std::string& text, std::initializer_list<const char*> classes) {
    auto* button = Gtk::make_managed<Gtk::Button>();
    button->set_child(*makeLabel(text, classes));
    button->add_css_class("plain");
    button->set_focus_on_click(false);
    return button;
}

void describe(Gtk::Widget& widget, const std::string& label, const std::string& help) {
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL, label.c_str(), -1);
    if (!help.empty()) widget.set_tooltip_text(help);
}

void setColour(Gtk::Widget& widget, const char* colour) {
    for (const auto& entry : colours)
        widget.remove_css_class(entry.name);
    widget.add_css_class(colour);
}

void installStyles() {
    static bool installed = false;
    auto display = Gdk::Display::get_default();
    if (installed || !display) return;
    installed = true;
    Gtk::Settings::get_for_display(display)->property_gtk_application_prefer_dark_theme() = true;
    std::string css;
    for (const auto& colour : colours) {
        css += "." + std::string(colour.name) + " { color: " + colour.css + "; }\n";
        css += ".on-" + std::string(colour.name) + " { background-color: " + colour.css + "; }\n";
    }
    css += ".panel, .panel label, .panel entry, .panel text { font-family: monospace; font-size: 12.5pt; }\n"
           ".caption { font-size: 11pt; letter-spacing: 1.4px; }\n"
           "button.plain { background: none; border: none; box-shadow: none; padding: 0; min-height: 0; }\n"
           "button.sectionButton { padding: 0 8px; border-radius: 5px; }\n"
           "button.sectionButton.on-raised { background-color: rgb(26,26,31); }\n"
           ".field { background-color: rgb(26,26,31); border: 1px solid rgb(38,38,44); border-radius: 5px; "
           "padding: 0 8px; min-height: 28px; box-shadow: none; color: rgb(232,232,234); }\n";
    auto provider = Gtk::CssProvider::create();
    provider->load_from_data(css);
    Gtk::StyleContext::add_provider_for_display(display, provider, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

} // namespace vesk::ui::standin
