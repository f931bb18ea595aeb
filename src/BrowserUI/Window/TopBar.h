#pragma once

// The strip across the top of the window, which is also its title bar: the
// history buttons, the address field, the profile in use and the agent's
// status, the last failed navigation under them, and the load progress as a
// thin line at its foot. Dragging its empty parts moves the window.

#include "BrowserUI/Presentation/BrowserModels.h"
#include "BrowserUI/Widgets/ViewParts.h"
#include "Platform/Task.h"

#include <gtkmm/button.h>
#include <gtkmm/drawingarea.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>
#include <gtkmm/windowhandle.h>

#include <functional>
#include <optional>
#include <string>

namespace vesk::ui {

class TopBar : public Gtk::WindowHandle {
public:
    TopBar(BrowserModels& models, std::function<void()> showProfiles);

    // The bar's commands; each answers whether it could act (a disabled
    // button cannot), so that a shortcut that cannot act passes its key on.
    bool goBack();
    bool goForward();
    bool reload();
    void stopLoading();
    void focusAddress();
    void submitAddress();

    // What the bar shows, for tests.
    Gtk::Entry& addressField() { return *address_; }
    std::string formattedAddressText() const;
    bool showsFormattedAddress() const;
    bool addressFocused() const { return addressFocused_; }
    std::string statusText() const;
    std::optional<std::string> failureText() const;
    bool canPress(const char* button) const;
    // "back", "forward", "reload" or "stop".
    Gtk::Button& button(const char* name) const;

    void showFailure(std::optional<std::string> text);
    // The failure of the navigation the bar started as `navigation`.
    void failed(unsigned navigation, std::string text);
    // The end of the address submitted as `submission`.
    void submitted(unsigned submission, bool failed);

private:
    Gtk::Button* historyButton(const char* icon, const char* label, void (TopBar::*press)());
    void pressBack() { goBack(); }
    void pressForward() { goForward(); }
    void pressReload() { reload(); }
    void followURL();
    void showAddress();
    void showHistory();
    bool canHold(Gtk::Widget& button) const;
    bool moveKeyboardFromHistory();
    void showProfile();
    void showStatus();
    void redrawProgress();
    void drawProgress(const Cairo::RefPtr<Cairo::Context>& cairo, int width, int height);

    BrowserModels& models_;
    std::function<void()> showProfiles_;
    Liveness liveness_;
    bool addressFocused_ = false;
    // The address the person submitted last. The field keeps it while it
    // loads, when WebKit names the address it asks for and then, should the
    // load fail, the page's again; and after a failure until the page's
    // address changes, so that focusing the field shows what was typed.
    struct Submission {
        unsigned id;
        std::string text;
        std::optional<std::string> over;
        bool loading = true;
    };
    std::optional<Submission> submission_;
    // The submission whose page takes the keyboard from the field once it
    // has opened; 0 once the person did anything else.
    unsigned pageTakesKeyboard_ = 0;
    // Back, Forward, Reload and submits, counted: only the failure of the
    // last one started shows. A submission's id is its number.
    unsigned navigations_ = 0;
    void startNavigation(std::function<Task<void>(unsigned navigation)> work);

    // The history button that had the keyboard when the history last
    // changed, and the move of the keyboard away from it once it cannot act.
    Gtk::Button* historyFocus_ = nullptr;
    sigc::connection keyboardMove_;

    Gtk::Button* back_ = nullptr;
    Gtk::Button* forward_ = nullptr;
    Gtk::Button* reload_ = nullptr;
    Gtk::Button* stop_ = nullptr;
    Gtk::Entry* address_ = nullptr;
    Gtk::Box* formatted_ = nullptr;
    Gtk::Label* host_ = nullptr;
    Gtk::Label* path_ = nullptr;
    Gtk::Button* profile_ = nullptr;
    Gtk::Label* profileName_ = nullptr;
    Gtk::Label* state_ = nullptr;
    Gtk::Label* failure_ = nullptr;
    Gtk::DrawingArea* progress_ = nullptr;
};

} // namespace vesk::ui
