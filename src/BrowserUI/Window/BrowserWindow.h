#pragma once

// The browser window: the top bar as its title bar, the browser view below,
// and the window's keyboard commands, which act wherever the focus is, the
// page and the text fields included.

#include "BrowserUI/Presentation/BrowserModels.h"

#include <gtkmm/window.h>

namespace vesk::ui {

class BrowserView;
class TopBar;

class BrowserWindow : public Gtk::Window {
public:
    static constexpr int defaultWidth = 1320;
    static constexpr int defaultHeight = 860;

    explicit BrowserWindow(BrowserModels& models);

    TopBar& topBar() { return *topBar_; }
    BrowserView& view() { return *view_; }

private:
    void addShortcuts();

    TopBar* topBar_ = nullptr;
    BrowserView* view_ = nullptr;
};

} // namespace vesk::ui
