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

    // What the view shows, for tests: the head line before it is put in
    // upper case, the field and the failure line.
    std::string headText() const { return head_; }
    Gtk::Entry& addressField() { return *address_; }
    std::optional<std::string> failureText() const;
    // The listed flows' lines.
    std::vector<std::string> flowLines() const;

private:
    void showProfile();
    void listFlows();

    BrowserModels& models_;
    FlowPlayback& playback_;
    std::function<void()> showFlows_;
    Liveness liveness_;
    std::string head_;
    Gtk::Label* headLabel_ = nullptr;
    Gtk::Entry* address_ = nullptr;
    Gtk::Label* failure_ = nullptr;
    Gtk::Box* flows_ = nullptr;
};

} // namespace vesk::ui
