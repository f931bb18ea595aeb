#pragma once

// The flows tab of the side panel: the recorder card, the saved flows with
// the outcome of their last replay in this window and a replay button each,
// and a footer that names the flows folder and lets the person choose
// another. A row opens to show its steps, each marked with its last result.

#include "BrowserUI/Presentation/RecorderState.h"
#include "BrowserUI/Widgets/KeptFocus.h"
#include "BrowserUI/Widgets/PanelWidgets.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/filechoosernative.h>
#include <gtkmm/label.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vesk {

class BrowserSession;
class FlowStore;
struct Flow;

namespace ui {

class FlowPlayback;
class FlowRow;
class Recorder;

class FlowsPanel : public Gtk::Box {
public:
    // `playback` and `unsaved` are the window's: replays and recordings not
    // saved yet outlive the tab.
    FlowsPanel(std::shared_ptr<BrowserSession> session, FlowStore& flows, FlowPlayback& playback,
               std::shared_ptr<UnsavedRecordings> unsaved);

    // For tests.
    Recorder& recorder() { return *recorder_; }
    const std::vector<FlowRow*>& rows() const { return rows_; }
    Gtk::Button& folderButton() { return *folder_; }
    std::optional<std::string> failure() const { return failure_; }
    // What the row's context menu does.
    void deleteFlow(const Flow& flow);
    // Chooses the flows folder, as the folder chooser does when the person picks one.
    void useFolder(const std::string& path);

private:
    void showList();
    void showFolder();
    void chooseFolder();
    void runningChanged();

    std::shared_ptr<BrowserSession> session_;
    FlowStore& flows_;
    FlowPlayback& playback_;
    std::set<std::string> expanded_;
    std::optional<std::string> failure_;

    Recorder* recorder_ = nullptr;
    Gtk::Box list_{Gtk::Orientation::VERTICAL};
    std::vector<FlowRow*> rows_;
    Gtk::Button* folder_ = nullptr;
    Glib::RefPtr<Gtk::FileChooserNative> chooser_;
    KeptFocus focus_;
    LaterDraw later_{[this] { showList(); }};
};

} // namespace ui
} // namespace vesk
