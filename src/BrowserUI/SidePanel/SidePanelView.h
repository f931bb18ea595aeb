#pragma once

// The panel beside the page: three tabs (the agent's activity log, the
// flows, the profiles) and a bottom bar with the switch by which the person
// takes control away from the agent, the settings and the hide button.

#include "BrowserUI/Presentation/BrowserModels.h"
#include "BrowserUI/Presentation/FlowPlayback.h"
#include "BrowserUI/Presentation/RecorderState.h"
#include "BrowserUI/SidePanel/SidePanel.h"
#include "Platform/Observable.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <array>
#include <functional>
#include <optional>

namespace vesk::ui {

inline constexpr int sidePanelWidth = 340;

class SidePanelView : public Gtk::Box {
public:
    // `playback` and `unsaved` are the window's: the flows tab replays
    // through the one and keeps recordings it could not save in the other,
    // so that both outlive the tab.
    SidePanelView(Observable<std::optional<SidePanel>>& panel, BrowserModels& models, FlowPlayback& playback,
                  std::shared_ptr<UnsavedRecordings> unsaved, std::function<void()> showSettings);

    // The pause button's action: pauses a running agent, resumes a paused one.
    void togglePause();

    // What the panel shows, for tests.
    std::string pauseText() const { return pauseLabel_->get_text(); }
    Gtk::Widget* content() const { return content_; }
    bool tabIsSelected(SidePanel tab) const;
    Gtk::Button& tabButton(SidePanel tab) const { return *tabs_[static_cast<std::size_t>(tab)]; }
    Gtk::Button& pauseButton() const { return *dynamic_cast<Gtk::Button*>(pauseLabel_->get_parent()); }

private:
    void showTabs();
    void showContent();
    void showPause();

    Observable<std::optional<SidePanel>>& panel_;
    BrowserModels& models_;
    FlowPlayback& playback_;
    std::shared_ptr<UnsavedRecordings> unsaved_;
    std::function<void()> showSettings_;
    std::array<Gtk::Button*, 3> tabs_{};
    Gtk::Box* contentSlot_ = nullptr;
    Gtk::Widget* content_ = nullptr;
    std::optional<SidePanel> shown_;
    Gtk::Label* pauseLabel_ = nullptr;
};

} // namespace vesk::ui
