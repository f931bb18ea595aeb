#pragma once

// The card at the top of the flows panel with which a person records a flow:
// name it, record, act on the page, stop; the flow is then saved. It also
// shows a recording the agent started, and its stop ends and saves that one.
// A stopped flow whose save failed stays, unsaved, with the window until the
// person saves it (under its name or another) or discards it.

#include "BrowserCore/FlowModel/Flow.h"
#include "BrowserUI/Presentation/RecorderState.h"
#include "BrowserUI/Widgets/KeptFocus.h"
#include "BrowserUI/Widgets/PanelWidgets.h"
#include "Platform/Task.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>

#include <memory>
#include <optional>
#include <string>

namespace vesk {

class BrowserSession;
class FlowStore;

namespace ui {

class Recorder : public Gtk::Box {
public:
    // `unsaved` is the window's: it outlives the card.
    Recorder(std::shared_ptr<BrowserSession> session, FlowStore& flows, std::shared_ptr<UnsavedRecordings> unsaved);

    // The controls of the state shown, for tests; none when not shown.
    Gtk::Button* recordAFlowButton() const { return recordAFlow_; }
    Gtk::Entry* nameField() const { return nameField_; }
    Gtk::Button* recordButton() const { return record_; }
    Gtk::Button* cancelButton() const { return cancel_; }
    Gtk::Button* stopButton() const { return stop_; }
    Gtk::Label* warningLabel() const { return warning_; }
    // The failure shown: the card's own, else the unsaved flow's.
    std::optional<std::string> failure() const;
    // The unsaved flow the card offers, the oldest.
    const Flow* unsaved() const;

private:
    void recordingChanged();
    void redraw();
    void showCount(const Flow& flow);
    void showRecording(const Flow& flow);
    void showIdle();
    void showNaming();
    void nameChanged();
    void startNaming();
    void record();
    void stop();
    void saveUnsaved();
    void discardUnsaved();
    static Task<void> stopAndSave(Recorder* card, std::weak_ptr<void> alive, std::shared_ptr<BrowserSession> session,
                                  FlowStore& flows, std::shared_ptr<UnsavedRecordings> unsaved);

    std::shared_ptr<BrowserSession> session_;
    FlowStore& flows_;
    std::shared_ptr<UnsavedRecordings> unsaved_;
    // The name typed for a new flow, and the one typed for the unsaved flow.
    std::optional<std::string> name_;
    std::optional<std::string> rename_;
    std::optional<std::string> failure_;
    bool focusesName_ = false;
    KeptFocus focus_;
    Liveness liveness_;
    LaterDraw later_{[this] { redraw(); }};

    Gtk::Box content_{Gtk::Orientation::VERTICAL, 6};
    Gtk::Button* recordAFlow_ = nullptr;
    Gtk::Entry* nameField_ = nullptr;
    Gtk::Button* record_ = nullptr;
    Gtk::Button* cancel_ = nullptr;
    Gtk::Button* stop_ = nullptr;
    Gtk::Label* warning_ = nullptr;
    Gtk::Label* count_ = nullptr;
    std::string shownName_;
};

} // namespace ui
} // namespace vesk
