#pragma once

// The agent's activity log: the paused banner, the summary of the current
// run, and every logged call, newest first, in a list that builds rows only
// for what is on screen.

#include "BrowserMCP/AgentActivity.h"
#include "BrowserUI/SidePanel/LogRow.h"

#include <giomm/liststore.h>
#include <gtkmm/box.h>
#include <gtkmm/label.h>
#include <gtkmm/listview.h>
#include <gtkmm/scrolledwindow.h>

#include <optional>

namespace vesk::ui {

class RunSummaryView : public Gtk::Box {
public:
    RunSummaryView();
    void show(const AgentActivity::Run& run);

private:
    Gtk::Label* steps_ = nullptr;
    Gtk::Label* split_ = nullptr;
    Gtk::Label* median_ = nullptr;
};

class LogPanel : public Gtk::Box {
public:
    explicit LogPanel(AgentActivity& activity);

    // The list's model, newest first, for tests.
    const Glib::RefPtr<Gio::ListStore<LogItem>>& rows() const { return rows_; }
    bool showsBanner() const { return banner_->get_visible(); }
    bool showsSummary() const { return summary_->get_visible(); }
    bool showsEmptyNote() const { return empty_->get_visible(); }

private:
    void showPause();
    void showEntries();
    void syncRows();

    AgentActivity& activity_;
    Gtk::Box* banner_ = nullptr;
    RunSummaryView* summary_ = nullptr;
    Gtk::Widget* summaryRule_ = nullptr;
    Gtk::Label* empty_ = nullptr;
    Gtk::ScrolledWindow* scroller_ = nullptr;
    Glib::RefPtr<Gio::ListStore<LogItem>> rows_ = Gio::ListStore<LogItem>::create();
    std::optional<Instant> rowsStart_;
};

} // namespace vesk::ui
