#include "BrowserUI/SidePanel/FlowRow.h"

#include "BrowserCore/Flows/FlowReport.h"
#include "BrowserUI/Presentation/FlowRowText.h"
#include "BrowserUI/Widgets/KeptFocus.h"
#include "BrowserUI/Widgets/PanelWidgets.h"

#include <giomm/menu.h>
#include <giomm/simpleactiongroup.h>
#include <gtkmm/gestureclick.h>
#include <gtkmm/popovermenu.h>

namespace vesk::ui {

namespace {

Gtk::Box* stepRow(const FlowStep& step, const StepResult* result, Gtk::Label*& markLabel, Gtk::Label*& reasonLabel) {
    auto* line = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 10);
    line->add_css_class("stepRow");
    StepMark mark = stepMark(result);
    markLabel = makeLabel(mark.mark, {mark.colour});
    markLabel->set_size_request(14, -1);
    markLabel->set_valign(Gtk::Align::START);
    line->append(*markLabel);
    auto* words = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 2);
    auto* summary = makeLabel(step.summary(), {"secondaryText"});
    summary->set_wrap(true);
    summary->set_lines(2);
    summary->set_ellipsize(Pango::EllipsizeMode::END);
    words->append(*summary);
    std::string read = mark.accessibleLabel + ", " + step.summary();
    reasonLabel = nullptr;
    if (result && result->status.kind() == StepResult::Status::Kind::failed) {
        reasonLabel = makeLabel(result->status.reason(), {"red"});
        reasonLabel->set_wrap(true);
        words->append(*reasonLabel);
        read += ", " + result->status.reason();
    }
    line->append(*words);
    readAsOne(*line, read);
    return line;
}

} // namespace

FlowRow::FlowRow(const Flow& flow, const FlowReport* report, const std::optional<std::string>& running, bool open,
                 Actions actions)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 6), flow_(flow) {
    add_css_class("flowRow");
    pad(*this, 14, 14, 10, 10);
    bool playing = running == flow.name;

    auto* top = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    header_ = Gtk::make_managed<Gtk::Button>();
    header_->add_css_class("plain");
    header_->set_hexpand(true);
    auto* lines = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 2);
    auto* name = makeLabel(flow.name, {"text"});
    name->set_ellipsize(Pango::EllipsizeMode::END);
    lines->append(*name);
    ColouredText result = flowResultText(flow, report);
    result_ = makeLabel(result.text, {result.colour});
    lines->append(*result_);
    header_->set_child(*lines);
    readAsOne(*header_, flow.name + ", " + result.text);
    nameForFocus(*header_, "flow:" + flow.name + "/open");
    header_->signal_clicked().connect(actions.toggle);
    top->append(*header_);

    if (playing) {
        auto* busy = makeLabel("…", {"blue"});
        busy->set_valign(Gtk::Align::START);
        top->append(*busy);
    } else {
        bool another = running.has_value();
        replay_ = makePlainButton(localized("replay"), {another ? "faintText" : "violet"});
        // As tall as the name's button, its word at the top: the keyboard
        // goes through the row as it reads, the name first (focus moves by
        // the middle of the controls, top to bottom).
        replay_->get_child()->set_valign(Gtk::Align::START);
        replay_->set_sensitive(!another);
        describe(*replay_, localized("Replay ") + flow.name);
        replay_->signal_clicked().connect(actions.replay);
        nameForFocus(*replay_, "flow:" + flow.name + "/replay");
        top->append(*replay_);
    }
    append(*top);

    if (open || playing) {
        auto results = stepResults(flow, report);
        for (std::size_t i = 0; i < flow.steps.size(); ++i) {
            Gtk::Label* mark = nullptr;
            Gtk::Label* reason = nullptr;
            append(*stepRow(flow.steps[i], results[i], mark, reason));
            marks_.push_back(mark);
            if (reason) reasons_.push_back(reason);
        }
    }
    addContextMenu(std::move(actions.remove));
}

FlowRow::~FlowRow() {
    // A popover is not one of the box's children: it goes by hand, unless
    // the box's dispose took it already.
    if (menu_.get_parent()) menu_.unparent();
}

void FlowRow::addContextMenu(std::function<void()> remove) {
    auto group = Gio::SimpleActionGroup::create();
    group->add_action("delete", std::move(remove));
    insert_action_group("row", group);

    auto menu = Gio::Menu::create();
    auto item = Gio::MenuItem::create(localized("Delete"), "row.delete");
    item->set_attribute_value("verb-icon", Glib::Variant<Glib::ustring>::create("user-trash-symbolic"));
    menu->append_item(item);
    menu_.set_menu_model(menu);
    menu_.set_parent(*this);
    menu_.set_has_arrow(false);
    auto* popover = &menu_;

    auto click = Gtk::GestureClick::create();
    click->set_button(GDK_BUTTON_SECONDARY);
    click->signal_pressed().connect([popover](int, double x, double y) {
        popover->set_pointing_to(Gdk::Rectangle(static_cast<int>(x), static_cast<int>(y), 1, 1));
        popover->popup();
    });
    add_controller(click);
}

} // namespace vesk::ui
