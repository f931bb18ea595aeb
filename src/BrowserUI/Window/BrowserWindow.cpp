#include "BrowserUI/Window/BrowserWindow.h"

#include "BrowserUI/Presentation/Localized.h"
#include "BrowserUI/Widgets/NoEmojiChooser.h"
#include "BrowserUI/Widgets/Palette.h"
#include "BrowserUI/Window/BrowserView.h"
#include "BrowserUI/Window/TabOutOfPages.h"
#include "BrowserUI/Window/TopBar.h"

#include <gtkmm/shortcutcontroller.h>

#include <functional>

namespace vesk::ui {

BrowserWindow::BrowserWindow(BrowserModels& models) {
    installStyles();
    set_title(localized("Vesk"));
    set_default_size(defaultWidth, defaultHeight);
    add_css_class("browser-window");
    view_ = Gtk::make_managed<BrowserView>(models);
    topBar_ = Gtk::make_managed<TopBar>(models, [this] { view_->panel.set(SidePanel::profiles); });
    set_titlebar(*topBar_);
    set_child(*view_);
    addShortcuts();
    takeTabOutOfPagesOneStep(*this);
    leaveOutEmojiChooser(*this);
}

void BrowserWindow::addShortcuts() {
    // The capture phase sees every key before the focused widget does, so a
    // focused page or text field cannot swallow the window's commands. A
    // command that cannot act now lets its key go on to the focus.
    auto controller = Gtk::ShortcutController::create();
    controller->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    auto add = [&](const char* trigger, std::function<bool()> command) {
        auto action = Gtk::CallbackAction::create(
            [command](Gtk::Widget&, const Glib::VariantBase&) { return command(); });
        controller->add_shortcut(Gtk::Shortcut::create(Gtk::ShortcutTrigger::parse_string(trigger), action));
    };
    add("<Control>j", [this] {
        view_->togglePanel();
        return true;
    });
    add("<Control>comma", [this] {
        view_->showSettings();
        return true;
    });
    add("<Control>period", [this] {
        view_->togglePause();
        return true;
    });
    add("<Alt>Left", [this] { return topBar_->goBack(); });
    add("<Alt>Right", [this] { return topBar_->goForward(); });
    add("<Control>r", [this] { return topBar_->reload(); });
    add("<Control>l", [this] {
        topBar_->focusAddress();
        return true;
    });
    add("Escape", [this] { return view_->closeSheet(); });
    add_controller(controller);
}

} // namespace vesk::ui
