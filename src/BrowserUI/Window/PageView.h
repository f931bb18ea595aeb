#pragma once

// Shows a web view of the session in a window of the application. The view
// is lent: it is taken off the off-screen stage that keeps it drawing while
// no window shows it, and given back to a stage when this view goes, unless
// the session has let go of it meanwhile (a closed popup, a replaced page).

#include "Platform/GRef.h"

#include <gtkmm/box.h>
#include <webkit/webkit.h>

#include <memory>
#include <string>

namespace vesk {

class BrowserSession;

namespace ui {

class PageView : public Gtk::Box {
public:
    // `name` is what a screen reader reads for the page's view.
    PageView(std::weak_ptr<BrowserSession> session, GRef<WebKitWebView> webView, const std::string& name);
    ~PageView() override;

    WebKitWebView* webView() const { return webView_.get(); }
    // What a screen reader hears, besides the page's name, when the view takes
    // the keyboard next: the control inside the page that gets it, which the
    // reader cannot reach itself. Said until the person next presses a key or
    // a button in the page, or the keyboard leaves it.
    void sayFocusedControl(const std::string& text);

private:
    void forgetFocusedControl();

    std::weak_ptr<BrowserSession> session_;
    GRef<WebKitWebView> webView_;
    int stageWidth_ = -1;
    int stageHeight_ = -1;
    // A control is said: each key and button in the page need not tell a
    // screen reader of a description that is not there.
    bool sayingControl_ = false;
};

} // namespace ui
} // namespace vesk
