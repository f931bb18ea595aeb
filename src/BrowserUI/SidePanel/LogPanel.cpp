#include "BrowserUI/SidePanel/LogPanel.h"

#include "BrowserUI/Presentation/ActivityTexts.h"
#include "BrowserUI/Presentation/Localized.h"
#include "BrowserUI/Widgets/ViewParts.h"

#include <glib.h>
#include <gtkmm/noselection.h>
#include <gtkmm/signallistitemfactory.h>

namespace vesk::ui {

namespace {

Gtk::Label* heading(const char* key, const char* colour) {
    char* upper = g_utf8_strup(localized(key).c_str(), -1);
    auto* label = makeLabel(upper, {"mono-11", "tracked", colour});
    g_free(upper);
    return label;
}

} // namespace

RunSummaryView::RunSummaryView() : Gtk::Box(Gtk::Orientation::VERTICAL, 6) {
    add_css_class("padded-14");
    append(*heading("Run", "faintText"));
    steps_ = makeLabel("", {"mono-12-5", "digits", "text"});
    split_ = makeLabel("", {"mono-12-5", "digits", "secondaryText"});
    median_ = makeLabel("", {"mono-12-5", "digits", "secondaryText"});
    for (auto* line : {steps_, split_, median_}) append(*line);
}

void RunSummaryView::show(const AgentActivity::Run& run) {
    auto lines = runSummaryLines(run);
    steps_->set_text(lines.steps);
    split_->set_text(lines.split);
    median_->set_text(lines.median.value_or(""));
    median_->set_visible(lines.median.has_value());
    std::string spoken = localized("Run") + ", " + lines.steps + ", " + lines.split;
    if (lines.median) spoken += ", " + *lines.median;
    readAsOne(*this, spoken);
}

LogPanel::LogPanel(AgentActivity& activity) : Gtk::Box(Gtk::Orientation::VERTICAL), activity_(activity) {
    set_vexpand(true);
    banner_ = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
    auto* bannerText = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 6);
    bannerText->add_css_class("padded-14");
    bannerText->append(*heading("Paused", "amber"));
    auto* control = makeLabel(localized("You have control of the page."), {"body-14", "text"});
    control->set_wrap(true);
    bannerText->append(*control);
    banner_->append(*bannerText);
    banner_->append(*makeRule(Gtk::Orientation::HORIZONTAL, "edge"));
    append(*banner_);

    summary_ = Gtk::make_managed<RunSummaryView>();
    append(*summary_);
    summaryRule_ = makeRule(Gtk::Orientation::HORIZONTAL, "edge");
    append(*summaryRule_);

    empty_ = makeLabel(localized("no activity yet"), {"mono-12-5", "faintText", "padded-14"});
    empty_->set_valign(Gtk::Align::START);
    append(*empty_);

    auto factory = Gtk::SignalListItemFactory::create();
    factory->signal_setup().connect([](const Glib::RefPtr<Gtk::ListItem>& item) {
        item->set_child(*Gtk::make_managed<LogRow>());
        item->set_activatable(false);
    });
    factory->signal_bind().connect([](const Glib::RefPtr<Gtk::ListItem>& item) {
        auto* row = dynamic_cast<LogRow*>(item->get_child());
        auto entry = std::dynamic_pointer_cast<LogItem>(item->get_item());
        if (row && entry) row->show(entry->entry, entry->start);
        // A row does nothing: no stop for the keyboard, nor a nameless
        // focusable element around the row that is read.
        if (auto* holder = row ? row->get_parent() : nullptr) holder->set_focusable(false);
    });
    auto* list = Gtk::make_managed<Gtk::ListView>(Gtk::NoSelection::create(rows_), factory);
    list->add_css_class("log-list");
    list->add_css_class("on-sidebar");
    readAsLayout(*list);
    list->set_focusable(false);
    list->set_can_focus(false);
    scroller_ = makeScroller(*list);
    scroller_->set_overlay_scrolling(false);
    append(*scroller_);

    activity_.isPaused.changed().connect(sigc::mem_fun(*this, &LogPanel::showPause));
    activity_.entriesChanged().connect(sigc::mem_fun(*this, &LogPanel::showEntries));
    activity_.runPause.changed().connect(sigc::mem_fun(*this, &LogPanel::showEntries));
    showPause();
    showEntries();
}

void LogPanel::showPause() {
    banner_->set_visible(*activity_.isPaused);
}

void LogPanel::showEntries() {
    auto run = activity_.currentRun();
    if (run) summary_->show(*run);
    summary_->set_visible(run.has_value());
    summaryRule_->set_visible(run.has_value());
    bool empty = activity_.entries().empty();
    empty_->set_visible(empty);
    scroller_->set_visible(!empty);
    syncRows();
}

// The model follows the log with the fewest changes, so that the list keeps
// its rows and its scroll position: new calls go in at the top, a finished
// call replaces its row; only when the oldest call leaves the log, which
// moves every row's start, are all rows replaced.
void LogPanel::syncRows() {
    const auto& entries = activity_.entries();
    if (entries.empty()) {
        rows_->remove_all();
        rowsStart_.reset();
        return;
    }
    Instant start = entries.front().date;
    std::vector<Glib::RefPtr<LogItem>> wanted;
    wanted.reserve(entries.size());
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        wanted.push_back(LogItem::create(*entry, start));
    }
    guint have = rows_->get_n_items();
    bool sameStart = rowsStart_ == start && have > 0 && rows_->get_item(have - 1)->entry.id == entries.front().id;
    rowsStart_ = start;
    if (!sameStart || have > wanted.size()) {
        rows_->splice(0, have, wanted);
        return;
    }
    guint added = static_cast<guint>(wanted.size()) - have;
    if (added > 0) rows_->splice(0, 0, std::vector(wanted.begin(), wanted.begin() + added));
    for (guint at = added; at < wanted.size(); ++at) {
        if (!(rows_->get_item(at)->entry == wanted[at]->entry)) rows_->splice(at, 1, {wanted[at]});
    }
}

} // namespace vesk::ui
