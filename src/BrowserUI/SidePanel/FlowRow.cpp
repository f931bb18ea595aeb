#include "BrowserUI/SidePanel/FlowRow.h"

#include "BrowserCore/Flows/FlowReport.h"
#include "BrowserUI/Presentation/FlowRowText.h"
#include "BrowserUI/Widgets/KeptFocus.h"
#include "BrowserUI/Widgets/PanelWidgets.h"

#include <gtkmm/gestureclick.h>
#include <gtkmm/image.h>
#include <gtkmm/shortcutcontroller.h>

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

FlowRow::FlowRow(const ListedFlow& flow, const FlowReport* report, const std::optional<std::string>& running,
                 bool open, Actions actions)
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
    ColouredText result = flowResultText(flow.stepCount, report);
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
        const Flow decoded = flow.flow();
        auto results = stepResults(decoded.steps.size(), report);
        for (std::size_t i = 0; i < decoded.steps.size(); ++i) {
            Gtk::Label* mark = nullptr;
            Gtk::Label* reason = nullptr;
            append(*stepRow(decoded.steps[i], results[i], mark, reason));
            marks_.push_back(mark);
            if (reason) reasons_.push_back(reason);
        }
    }
    addContextMenu(std::move(actions.remove));
}

FlowRow::~FlowRow() {
    // A popover is not one of the box's children: it goes by hand, unless
    // the box's dispose took it already. The keyboard goes nowhere from a
    // row that is going.
    focusBefore_ = {};
    if (menu_.get_parent()) menu_.unparent();
}

void FlowRow::addContextMenu(std::function<void()> remove) {
    // One destructive item, its symbol and its word in red. A menu model
    // would draw neither the symbol beside the word nor the colour.
    auto* item = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    auto* trash = Gtk::make_managed<Gtk::Image>();
    trash->set_from_icon_name("user-trash-symbolic");
    hideFromAccessibility(*trash);
    item->append(*trash);
    item->append(*makeLabel(localized("Delete"), {}));
    deleteItem_ = Gtk::make_managed<Gtk::Button>();
    deleteItem_->set_child(*item);
    // Read once, by its word.
    setAccessibleLabel(*deleteItem_, localized("Delete"));
    hideFromAccessibility(*item);
    deleteItem_->add_css_class("plain");
    deleteItem_->add_css_class("menu-item");
    deleteItem_->add_css_class("red");
    deleteItem_->signal_clicked().connect([this, remove = std::move(remove)] {
        menu_.popdown();
        remove();
    });
    menu_.set_child(*deleteItem_);
    namePopover(menu_, flow_.name);
    menu_.set_parent(*this);
    menu_.set_has_arrow(false);
    menu_.signal_closed().connect([this] {
        GRef<GtkWidget> before = std::exchange(focusBefore_, {});
        if (before && gtk_widget_get_root(before.get()) == gtk_widget_get_root(GTK_WIDGET(gobj()))) {
            gtk_widget_grab_focus(before.get());
        }
    });

    auto click = Gtk::GestureClick::create();
    click->set_button(GDK_BUTTON_SECONDARY);
    click->signal_pressed().connect([this](int, double x, double y) {
        openMenu(Gdk::Rectangle(static_cast<int>(x), static_cast<int>(y), 1, 1));
    });
    add_controller(click);

    // From the keyboard, as a context menu opens anywhere else.
    auto keys = Gtk::ShortcutController::create();
    auto open = Gtk::CallbackAction::create([this](Gtk::Widget&, const Glib::VariantBase&) {
        openMenu(std::nullopt);
        return true;
    });
    for (const char* trigger : {"Menu", "<Shift>F10"}) {
        keys->add_shortcut(Gtk::Shortcut::create(Gtk::ShortcutTrigger::parse_string(trigger), open));
    }
    add_controller(keys);
}

void FlowRow::openMenu(std::optional<Gdk::Rectangle> area) {
    menu_.set_pointing_to(area.value_or(Gdk::Rectangle(0, 0, get_width(), get_height())));
    GtkRoot* root = gtk_widget_get_root(GTK_WIDGET(gobj()));
    focusBefore_ = GRef<GtkWidget>::retain(root ? gtk_root_get_focus(root) : nullptr);
    menu_.popup();
    deleteItem_->grab_focus();
}

} // namespace vesk::ui
