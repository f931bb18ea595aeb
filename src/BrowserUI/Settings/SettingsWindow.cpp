#include "BrowserUI/Settings/SettingsWindow.h"

#include "BrowserUI/Widgets/PanelWidgets.h"

#include "BrowserUI/Settings/SettingsView.h"
#include "BrowserUI/Widgets/NoEmojiChooser.h"

#include <gtkmm/shortcutcontroller.h>
#include <gtkmm/window.h>
#include <gtkmm/windowhandle.h>

namespace vesk {

namespace {

// Kept for the life of the process: its section survives closing and opening.
Gtk::Window*& heldWindow() {
    static Gtk::Window* window = nullptr;
    return window;
}

// Escape and Ctrl+W close the window, wherever the focus is in it: in the
// capture phase, before a field's own keys.
void closeByKeys(Gtk::Window& window) {
    auto controller = Gtk::ShortcutController::create();
    controller->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    for (const char* trigger : {"Escape", "<Control>w"}) {
        auto action = Gtk::CallbackAction::create([&window](Gtk::Widget&, const Glib::VariantBase&) {
            window.close();
            return true;
        });
        controller->add_shortcut(Gtk::Shortcut::create(Gtk::ShortcutTrigger::parse_string(trigger), action));
    }
    window.add_controller(controller);
}

} // namespace

Gtk::Window* settingsWindow() {
    return heldWindow();
}

void openSettingsWindow(std::shared_ptr<BrowserSession> session, FlowStore& flows, ProfileStore& profiles,
                        BrowserSettings& settings) {
    Gtk::Window*& window = heldWindow();
    if (!window) {
        window = new Gtk::Window();
        window->set_title(ui::localized("Settings"));
        window->set_hide_on_close(true);
        window->set_default_size(760, 520);
        window->add_css_class("settingsWindow");
        // The content reaches the top edge; the window controls sit in it.
        auto* noTitleBar = Gtk::make_managed<Gtk::Box>();
        noTitleBar->set_visible(false);
        window->set_titlebar(*noTitleBar);
        auto* handle = Gtk::make_managed<Gtk::WindowHandle>();
        auto* view = Gtk::make_managed<SettingsView>(std::move(session), flows, profiles, settings);
        view->set_size_request(620, 380);
        handle->set_child(*view);
        window->set_child(*handle);
        ui::leaveOutEmojiChooser(*window);
        closeByKeys(*window);
    }
    window->present();
}

} // namespace vesk
