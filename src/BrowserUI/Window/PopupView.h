#pragma once

// The sheet that shows the last window a page opened: a header naming the
// window's host, with a mark while the agent acts in it and a close button
// (Escape), over the window's own page.

#include "BrowserUI/Widgets/ViewParts.h"
#include "BrowserUI/Window/PageView.h"

#include <gtkmm/box.h>
#include <gtkmm/label.h>

#include <functional>
#include <optional>
#include <string>

namespace vesk::ui {

// The host for the header: the URL's host as written, or "…" when there is
// no URL or it has no host.
std::string popupHostText(const std::optional<std::string>& url);

class PopupView : public Gtk::Widget {
public:
    PopupView(std::weak_ptr<BrowserSession> session, GRef<WebKitWebView> webView, bool agentActing,
              std::function<void()> close);
    ~PopupView() override;

    WebKitWebView* webView() const { return webView_.get(); }
    void setAgentActing(bool acting);
    // Runs `ready` once the window's page has loaded (at once if it has):
    // before, a key sent to the page would find no document to take it.
    void whenLoaded(std::function<void()> ready);
    // The close button's action, also Escape's.
    void close();

    // What the header shows now, for tests.
    std::string hostText() const { return host_->get_text(); }
    bool showsAgentMark() const { return agentMark_->get_visible(); }
    Gtk::Widget& closeButton() const { return *closeButton_; }

protected:
    // The sheet's own size, whatever its page would like; smaller only when
    // the window is.
    void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural, int& minimumBaseline,
                       int& naturalBaseline) const override;
    void size_allocate_vfunc(int width, int height, int baseline) override;

private:
    void showURL();
    void loadChanged(WebKitLoadEvent event);

    GRef<WebKitWebView> webView_;
    Gtk::Box content_{Gtk::Orientation::VERTICAL};
    std::function<void()> close_;
    Gtk::Label* host_ = nullptr;
    Gtk::Label* agentMark_ = nullptr;
    Gtk::Widget* closeButton_ = nullptr;
    PageView* page_ = nullptr;
    gulong uriHandler_ = 0;
    gulong loadHandler_ = 0;
    bool loaded_ = false;
    std::function<void()> whenLoaded_;
};

} // namespace vesk::ui
