#pragma once

// One saved flow in the flows panel: its name and last result, a replay
// button, and, when open, its steps with their marks.

#include "BrowserCore/Flows/ListedFlow.h"
#include "Platform/GRef.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/popover.h>

#include <functional>
#include <vector>

namespace vesk {

struct FlowReport;

namespace ui {

class FlowRow : public Gtk::Box {
public:
    struct Actions {
        std::function<void()> toggle;
        std::function<void()> replay;
        std::function<void()> remove;
    };
    // `running`: the name of the flow being replayed, if any.
    // An open row decodes the flow to show its steps; a closed one does not.
    FlowRow(const ListedFlow& flow, const FlowReport* report, const std::optional<std::string>& running, bool open,
            Actions actions);
    ~FlowRow() override;

    // For tests.
    const ListedFlow& flow() const { return flow_; }
    Gtk::Label& resultLabel() { return *result_; }
    Gtk::Button& header() { return *header_; }
    // None while this flow is being replayed ("…" shows in its place).
    Gtk::Button* replayButton() const { return replay_; }
    // The marks of the steps shown, in order; empty while closed.
    const std::vector<Gtk::Label*>& stepMarks() const { return marks_; }
    const std::vector<Gtk::Label*>& stepReasons() const { return reasons_; }
    // The context menu; `openMenu` opens it as the keyboard does.
    Gtk::Popover& menu() { return menu_; }

    // Opens the context menu pointing at `area` of the row, or at the whole row.
    void openMenu(std::optional<Gdk::Rectangle> area = std::nullopt);

private:
    void addContextMenu(std::function<void()> remove);

    ListedFlow flow_;
    Gtk::Button* header_ = nullptr;
    Gtk::Label* result_ = nullptr;
    Gtk::Button* replay_ = nullptr;
    std::vector<Gtk::Label*> marks_;
    std::vector<Gtk::Label*> reasons_;
    // Held here, not managed: the box's dispose may unparent it before this
    // object's destructor runs, and a managed one would be gone by then.
    Gtk::Popover menu_;
    Gtk::Button* deleteItem_ = nullptr;
    // Where the keyboard was when the menu opened; it goes back there.
    GRef<GtkWidget> focusBefore_;
};

} // namespace ui
} // namespace vesk
