#pragma once

// One logged call in the activity log: the tool and its times, what it acted
// on, and why it failed. Read by a screen reader as one element.

#include "BrowserMCP/AgentActivity.h"

#include <giomm/liststore.h>
#include <gtkmm/box.h>
#include <gtkmm/label.h>

namespace vesk::ui {

// An entry of the log as an item of the list model behind the log's list.
class LogItem : public Glib::Object {
public:
    static Glib::RefPtr<LogItem> create(const AgentActivity::Entry& entry, Instant start);
    AgentActivity::Entry entry;
    Instant start;  // the oldest call still in the log

protected:
    LogItem(const AgentActivity::Entry& entry, Instant start);
};

class LogRow : public Gtk::Box {
public:
    LogRow();
    void show(const AgentActivity::Entry& entry, Instant start);

private:
    Gtk::Label* tool_ = nullptr;
    Gtk::Label* times_ = nullptr;
    Gtk::Label* target_ = nullptr;
    Gtk::Label* failure_ = nullptr;
};

} // namespace vesk::ui
