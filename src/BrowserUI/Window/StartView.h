#pragma once

// What the window shows before anything was loaded: the profile in use, one
// large address field, and the saved flows to replay.

#include "BrowserUI/Presentation/BrowserModels.h"
#include "BrowserUI/Presentation/FlowPlayback.h"
#include "BrowserUI/Widgets/ViewParts.h"

#include <gtkmm/box.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vesk::ui {

class StartView : public Gtk::Box {
public:
    StartView(BrowserModels& models, FlowPlayback& playback, std::function<void()> showFlows);

    // Replays a listed flow and opens the flows panel, as a click on it does.
    void replay(std::size_t index);

    void submitAddress();
    void showFailure(std::optional<std::string> text);

    // Whether the view keeps its place although the session has an address:
    // while an address typed here is being opened, since WebKit names the
    // address it asks for before anything has loaded, and after that address
    // failed, until the session moves on (WebKit may leave a blank page that
    // the person never asked for).
    bool holdsPageArea() const;
    // Called when that may have changed.
    void onHoldChanged(std::function<void()> changed) { holdChanged_ = std::move(changed); }

    // What the view shows, for tests: the head line before it is put in
    // upper case, the field and the failure line.
    std::string headText() const { return head_; }
    Gtk::Entry& addressField() { return *address_; }
    std::optional<std::string> failureText() const;
    // The listed flows' lines.
    std::vector<std::string> flowLines() const;

    // The end of opening the typed address submitted as `submission`, with
    // its failure if it failed.
    void opened(unsigned submission, std::optional<std::string> failure);

private:
    void showProfile();
    void listFlows();

    BrowserModels& models_;
    FlowPlayback& playback_;
    std::function<void()> showFlows_;
    std::function<void()> holdChanged_;
    Liveness liveness_;
    // How many typed addresses are being opened, and the session's address
    // when the last one failed.
    int opening_ = 0;
    std::optional<std::string> failedAt_;
    // Addresses submitted so far: only the last one's failure shows.
    unsigned submissions_ = 0;
    std::string head_;
    Gtk::Label* headLabel_ = nullptr;
    Gtk::Entry* address_ = nullptr;
    Gtk::Label* failure_ = nullptr;
    Gtk::Box* flows_ = nullptr;
};

} // namespace vesk::ui
