#include "BrowserUI/Settings/SettingsView.h"

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserMCP/BrowserSettings.h"
#include "BrowserUI/Settings/CredentialsPanel.h"
#include "BrowserUI/Settings/NumberRow.h"
#include "BrowserUI/SidePanel/ProfilesPanel.h"
#include "BrowserUI/Widgets/PanelWidgets.h"
#include "BrowserUI/Widgets/WidthLimit.h"

#include <gtkmm/overlay.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/windowcontrols.h>

namespace vesk {

namespace {

using Timings = BrowserSettings::Timings;

// The profiles and credentials panels, with their padding, are at most this wide.
constexpr int formWidth = 480;

struct TimingRow {
    SettingsSection section;
    const char* title;
    const char* detail;
    double Timings::*field;
    const char* unit;
    double scale;
};

constexpr TimingRow timingRows[] = {
    {SettingsSection::agent, "run cutoff", "The silence between two calls that ends a run in the log.",
     &Timings::runPause, "s", 1},
    {SettingsSection::agent, "command limit",
     "How long an agent command may take before answering with an error. A page that does not respond stops "
     "holding up the commands that follow.",
     &Timings::commandTimeout, "s", 1},
    {SettingsSection::page, "quiet",
     "How long the page must stay unchanged after an action to count as settled. Less is faster; too little "
     "returns the page half changed.",
     &Timings::settleQuiet, "ms", 1000},
    {SettingsSection::page, "quiet wait", "If the page never stops changing, when to answer anyway.",
     &Timings::settleTimeout, "s", 1},
    {SettingsSection::page, "navigation wait",
     "How long a page may take to load before the navigation counts as failed.", &Timings::navigationTimeout, "s", 1},
    {SettingsSection::flows, "wait per step",
     "How long a replayed flow looks for each step's element before counting it as failed.", &Timings::stepTimeout, "s",
     1},
};

} // namespace

SettingsView::SettingsView(std::shared_ptr<BrowserSession> session, FlowStore& flows, ProfileStore& profiles,
                           BrowserSettings& settings)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL), session_(std::move(session)), flows_(flows), profiles_(profiles),
      settings_(settings) {
    add_css_class("settings");
    add_css_class("panel");
    append(*makeSidebar());
    append(*ui::makeRule(Gtk::Orientation::VERTICAL, "edge"));
    detail_.set_hexpand(true);
    detail_.set_vexpand(true);
    detail_.add_css_class("on-background");
    append(detail_);
    settings_.timingsChanged().connect(sigc::mem_fun(*this, &SettingsView::timingsChanged));
    flows_.directoryChanged().connect(sigc::mem_fun(*this, &SettingsView::directoryChanged));
    showSection(section_);
    timingsChanged();
}

Gtk::Box* SettingsView::makeSidebar() {
    auto* sidebar = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
    sidebar->add_css_class("on-sidebar");
    sidebar->set_size_request(190, -1);
    sidebar->set_hexpand(false);
    auto* header = ui::makeLabel(ui::upperCased(ui::localized("Settings")), {"faintText"});
    header->add_css_class("caption");
    ui::pad(*header, 14, 14, 40, 10);
    sidebar->append(*header);
    for (SettingsSection section : allSettingsSections) {
        auto* button = ui::makePlainButton(title(section), {"secondaryText"});
        button->add_css_class("sectionButton");
        button->set_size_request(-1, 28);
        ui::pad(*button, 6, 6, 0, 0);
        button->signal_clicked().connect([this, section] { showSection(section); });
        sectionButtons_.push_back(button);
        sidebar->append(*button);
    }
    auto* below = ui::makeRule(Gtk::Orientation::HORIZONTAL, "edge");
    below->set_margin_top(8);
    sidebar->append(*below);
    reset_ = ui::makePlainButton(ui::localized("reset timings"), {"mono-11-5", "faintText"});
    reset_->set_size_request(-1, 36);
    ui::pad(*reset_, 14, 14, 0, 0);
    ui::describe(*reset_, ui::localized("reset timings"), ui::localized("Returns every wait to its initial value."));
    reset_->signal_clicked().connect([this] { settings_.setTimings(Timings()); });
    sidebar->append(*reset_);
    return sidebar;
}

Gtk::Button& SettingsView::sectionButton(SettingsSection section) {
    return *sectionButtons_.at(static_cast<std::size_t>(section));
}

void SettingsView::showSection(SettingsSection section) {
    section_ = section;
    for (SettingsSection each : allSettingsSections) {
        Gtk::Button& button = sectionButton(each);
        bool shown = each == section;
        ui::setColour(button, shown ? "text" : "secondaryText");
        ui::setColour(*button.get_child(), shown ? "text" : "secondaryText");
        if (shown) {
            button.add_css_class("on-raised");
        } else {
            button.remove_css_class("on-raised");
        }
        ui::setSelected(button, shown);
    }
    fillSection();
}

void SettingsView::fillSection() {
    numberRows_.clear();
    folderRow_ = nullptr;
    sectionPanel_ = nullptr;
    ui::clear(detail_);

    auto* controls = Gtk::make_managed<Gtk::WindowControls>(Gtk::PackType::END);
    ui::reachByKeys(*controls);
    controls->set_halign(Gtk::Align::END);
    controls->set_margin_end(8);
    controls->set_margin_top(6);
    auto* header = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 6);
    ui::pad(*header, 28, 28, 40, 18);
    auto* heading = ui::makeLabel(ui::upperCased(title(section_)), {"text"});
    heading->add_css_class("caption");
    header->append(*heading);
    auto* words = ui::makeLabel(blurb(section_), {"secondaryText"});
    words->set_wrap(true);
    header->append(*words);
    auto* top = Gtk::make_managed<Gtk::Overlay>();
    ui::readAsLayout(*top);
    top->set_child(*header);
    top->add_overlay(*controls);
    controls->set_valign(Gtk::Align::START);
    detail_.append(*top);
    detail_.append(*ui::makeRule(Gtk::Orientation::HORIZONTAL, "separator"));

    if (section_ == SettingsSection::profiles || section_ == SettingsSection::credentials) {
        // Made afresh on every switch: open forms and confirmations start over.
        Gtk::Widget* panel = section_ == SettingsSection::profiles
                                 ? static_cast<Gtk::Widget*>(Gtk::make_managed<ui::ProfilesPanel>(session_, profiles_))
                                 : Gtk::make_managed<ui::CredentialsPanel>(profiles_);
        panel->set_vexpand(true);
        ui::pad(*panel, 14, 14, 0, 0);
        sectionPanel_ = panel;
        auto* limited = Gtk::make_managed<ui::WidthLimit>(*panel, formWidth);
        limited->set_vexpand(true);
        detail_.append(*limited);
        return;
    }
    auto* rows = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
    if (section_ == SettingsSection::flows) rows->append(*makeFolderRow());
    for (const TimingRow& row : timingRows) {
        if (row.section != section_) continue;
        auto field = row.field;
        ui::NumberRow::Binding binding{
            [this, field] { return settings_.timings().*field; },
            [this, field](double value) { settings_.modifyTimings([&](Timings& timings) { timings.*field = value; }); },
        };
        auto* made = Gtk::make_managed<ui::NumberRow>(ui::localized(row.title), ui::localized(row.detail),
                                                      std::move(binding), row.unit, row.scale);
        numberRows_.push_back(made);
        rows->append(*made);
    }
    detail_.append(*ui::makeScroller(*rows));
}

Gtk::Widget* SettingsView::makeFolderRow() {
    auto* choose = ui::makePlainButton(ui::localized("choose…"), {"violet"});
    ui::describe(*choose, ui::localized("choose…"), ui::localized("Choose the flows folder"));
    folderRow_ = Gtk::make_managed<ui::SettingsRow>(ui::localized("folder"), flows_.directory().string(), *choose);
    choose->signal_clicked().connect([this] {
        ui::chooseFolder(*this, ui::localized("Choose the flows folder"), folderChooser_,
                         [this](const std::string& path) { flows_.useDirectory(path); });
    });
    return folderRow_;
}

void SettingsView::directoryChanged() {
    if (folderRow_) folderRow_->setDetail(flows_.directory().string());
}

void SettingsView::timingsChanged() {
    for (ui::NumberRow* row : numberRows_)
        row->refresh();
    bool hadKeyboard = reset_->has_focus();
    reset_->set_sensitive(settings_.timings() != Timings());
    // "reset timings" turns off once it has acted: the keyboard stays in
    // the sidebar, on the section shown, rather than going nowhere.
    if (hadKeyboard && !reset_->get_sensitive()) sectionButton(section_).grab_focus();
}

} // namespace vesk
