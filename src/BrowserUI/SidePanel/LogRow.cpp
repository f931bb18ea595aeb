#include "BrowserUI/SidePanel/LogRow.h"

#include "BrowserUI/Presentation/ActivityTexts.h"
#include "BrowserUI/Widgets/ViewParts.h"

namespace vesk::ui {

Glib::RefPtr<LogItem> LogItem::create(const AgentActivity::Entry& entry, Instant start) {
    return Glib::make_refptr_for_instance(new LogItem(entry, start));
}

LogItem::LogItem(const AgentActivity::Entry& entry, Instant start)
    : Glib::ObjectBase(typeid(LogItem)), entry(entry), start(start) {}

LogRow::LogRow() : Gtk::Box(Gtk::Orientation::VERTICAL, 2) {
    add_css_class("log-row");
    set_margin_start(14);
    set_margin_end(14);
    set_margin_top(10);
    set_margin_bottom(10);
    auto* head = Gtk::make_managed<Gtk::Box>();
    tool_ = makeLabel("", {"mono-12-5"});
    tool_->set_valign(Gtk::Align::BASELINE);
    head->append(*tool_);
    auto* space = Gtk::make_managed<Gtk::Box>();
    space->set_hexpand(true);
    head->append(*space);
    times_ = makeLabel("", {"mono-12-5", "digits", "faintText"});
    times_->set_valign(Gtk::Align::BASELINE);
    head->append(*times_);
    append(*head);
    target_ = makeLabel("", {"mono-12-5", "secondaryText"});
    target_->set_wrap(true);
    target_->set_wrap_mode(Pango::WrapMode::WORD_CHAR);
    target_->set_lines(2);
    target_->set_ellipsize(Pango::EllipsizeMode::END);
    append(*target_);
    failure_ = makeLabel("", {"mono-12-5", "red"});
    failure_->set_wrap(true);
    failure_->set_wrap_mode(Pango::WrapMode::WORD_CHAR);
    append(*failure_);
}

void LogRow::show(const AgentActivity::Entry& entry, Instant start) {
    auto texts = logRowTexts(entry, start);
    tool_->set_text(texts.tool);
    setColour(*tool_, texts.toolColour);
    times_->set_text(texts.times);
    target_->set_text(texts.target.value_or(""));
    target_->set_visible(texts.target.has_value());
    failure_->set_text(texts.failure.value_or(""));
    failure_->set_visible(texts.failure.has_value());
    std::string spoken = texts.tool + ", " + texts.times;
    if (texts.target) spoken += ", " + *texts.target;
    if (texts.failure) spoken += ", " + *texts.failure;
    readAsOne(*this, spoken);
}

} // namespace vesk::ui
