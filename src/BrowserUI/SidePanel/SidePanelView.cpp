#include "BrowserUI/SidePanel/SidePanelView.h"

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserUI/Presentation/Localized.h"
#include "BrowserUI/SidePanel/FlowsPanel.h"
#include "BrowserUI/SidePanel/LogPanel.h"
#include "BrowserUI/SidePanel/ProfilesPanel.h"
#include "BrowserUI/Widgets/ViewParts.h"

#include <glib.h>

namespace vesk::ui {

namespace {

const char* tabKey(SidePanel tab) {
    switch (tab) {
    case SidePanel::activity: return "log";
    case SidePanel::flows: return "flows";
    case SidePanel::profiles: return "profiles";
    }
    return "log";
}

// The flows and profiles tabs of a window without the store behind them:
// what there is.
Gtk::Widget* placeholder(SidePanel tab, const BrowserModels& models) {
    auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
    box->set_vexpand(true);
    if (tab == SidePanel::flows) {
        box->append(*makeLabel(localized("flows the agent records will appear here"),
                               {"mono-12-5", "faintText", "padded-14"}));
    } else {
        auto* line = Gtk::make_managed<Gtk::Box>();
        line->add_css_class("padded-14");
        line->append(*makeLabel(localized("profile: "), {"mono-11", "faintText"}));
        auto* name = makeLabel(models.profileName(), {"mono-11", "secondaryText"});
        name->set_ellipsize(Pango::EllipsizeMode::END);
        line->append(*name);
        box->append(*line);
    }
    return box;
}

} // namespace

SidePanelView::SidePanelView(Observable<std::optional<SidePanel>>& panel, BrowserModels& models,
                             FlowPlayback& playback, std::shared_ptr<UnsavedRecordings> unsaved,
                             std::function<void()> showSettings)
    : Gtk::Box(Gtk::Orientation::VERTICAL), panel_(panel), models_(models), playback_(playback),
      unsaved_(std::move(unsaved)), showSettings_(std::move(showSettings)) {
    add_css_class("side-panel");
    add_css_class("on-sidebar");
    set_size_request(sidePanelWidth, -1);
    set_hexpand(false);

    auto* tabRow = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 18);
    tabRow->set_size_request(-1, 38);
    tabRow->set_margin_start(14);
    tabRow->set_margin_end(14);
    for (std::size_t i = 0; i < allSidePanels.size(); ++i) {
        SidePanel tab = allSidePanels[i];
        char* upper = g_utf8_strup(localized(tabKey(tab)).c_str(), -1);
        tabs_[i] = makePlainButton(upper, {"mono-11", "tracked"});
        g_free(upper);
        tabs_[i]->set_valign(Gtk::Align::CENTER);
        setAccessibleLabel(*tabs_[i], localized(tabKey(tab)));
        tabs_[i]->signal_clicked().connect([this, tab] { panel_.set(tab); });
        tabRow->append(*tabs_[i]);
    }
    append(*tabRow);
    append(*makeRule(Gtk::Orientation::HORIZONTAL, "edge"));

    contentSlot_ = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
    contentSlot_->set_vexpand(true);
    append(*contentSlot_);
    append(*makeRule(Gtk::Orientation::HORIZONTAL, "edge"));

    auto* bottom = Gtk::make_managed<Gtk::Box>();
    bottom->set_size_request(-1, 36);
    bottom->set_margin_start(14);
    bottom->set_margin_end(14);
    auto* pause = makePlainButton("", {"mono-11-5"});
    pauseLabel_ = dynamic_cast<Gtk::Label*>(pause->get_child());
    pause->signal_clicked().connect(sigc::mem_fun(*this, &SidePanelView::togglePause));
    describe(*pause, {}, localized("While paused, the agent's commands are rejected and you control the page."));
    auto* settings = makePlainButton(localized("Ctrl+, settings"), {"mono-11-5", "faintText"});
    settings->signal_clicked().connect([this] {
        if (showSettings_) showSettings_();
    });
    auto* hide = makePlainButton(localized("Ctrl+J hide"), {"mono-11-5", "faintText"});
    hide->signal_clicked().connect([this] { panel_.set(std::nullopt); });
    auto spacer = []() -> Gtk::Widget* {
        auto* space = Gtk::make_managed<Gtk::Box>();
        space->set_hexpand(true);
        return space;
    };
    for (Gtk::Widget* item : std::initializer_list<Gtk::Widget*>{pause, spacer(), settings, spacer(), hide}) {
        item->set_valign(Gtk::Align::CENTER);
        bottom->append(*item);
    }
    append(*bottom);

    panel_.changed().connect(sigc::mem_fun(*this, &SidePanelView::showTabs));
    panel_.changed().connect(sigc::mem_fun(*this, &SidePanelView::showContent));
    models_.activity.isPaused.changed().connect(sigc::mem_fun(*this, &SidePanelView::showPause));
    showTabs();
    showContent();
    showPause();
}

void SidePanelView::togglePause() {
    models_.activity.isPaused.set(!*models_.activity.isPaused);
}

bool SidePanelView::tabIsSelected(SidePanel tab) const {
    return tabs_[static_cast<std::size_t>(tab)]->get_child()->has_css_class("text");
}

void SidePanelView::showTabs() {
    for (std::size_t i = 0; i < tabs_.size(); ++i) {
        bool selected = panel_.get() == allSidePanels[i];
        setColour(*tabs_[i]->get_child(), selected ? "text" : "faintText");
        setAccessibleSelected(*tabs_[i], selected);
    }
}

void SidePanelView::showContent() {
    SidePanel wanted = panel_.get().value_or(SidePanel::activity);
    if (content_ && shown_ == wanted) return;
    if (content_) contentSlot_->remove(*content_);
    shown_ = wanted;
    if (wanted == SidePanel::activity) content_ = Gtk::make_managed<LogPanel>(models_.activity);
    else if (wanted == SidePanel::flows && models_.flows)
        content_ = Gtk::make_managed<FlowsPanel>(models_.session, *models_.flows, playback_, unsaved_);
    else if (wanted == SidePanel::profiles && models_.profiles)
        content_ = Gtk::make_managed<ProfilesPanel>(models_.session, *models_.profiles);
    else content_ = placeholder(wanted, models_);
    content_->set_vexpand(true);
    contentSlot_->append(*content_);
}

void SidePanelView::showPause() {
    bool paused = *models_.activity.isPaused;
    pauseLabel_->set_text(localized(paused ? "Ctrl+. resume" : "Ctrl+. stop"));
    setAccessibleLabel(*pauseLabel_->get_parent(), pauseLabel_->get_text());
    setColour(*pauseLabel_, paused ? "amber" : "faintText");
}

} // namespace vesk::ui
