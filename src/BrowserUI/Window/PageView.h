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

private:
    std::weak_ptr<BrowserSession> session_;
    GRef<WebKitWebView> webView_;
    int stageWidth_ = -1;
    int stageHeight_ = -1;
};

} // namespace ui
} // namespace vesk
