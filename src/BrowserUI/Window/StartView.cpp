#include "BrowserUI/Window/StartView.h"

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserUI/Presentation/Formatters.h"
#include "BrowserUI/Presentation/Localized.h"
#include "BrowserUI/Presentation/TypedAddress.h"

#include <glib.h>

#include <algorithm>
#include <functional>

namespace vesk::ui {

namespace {

std::string upperCase(const std::string& text) {
    char* upper = g_utf8_strup(text.c_str(), static_cast<gssize>(text.size()));
    std::string result = upper;
    g_free(upper);
    return result;
}

Task<void> open(std::weak_ptr<void> alive, StartView* view, unsigned submission,
                std::shared_ptr<BrowserSession> session, std::string text) {
    std::optional<std::string> failure;
    try {
        co_await openAddress(*session, std::move(text));
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (!alive.expired()) view->opened(submission, std::move(failure));
}

} // namespace

StartView::StartView(BrowserModels& models, FlowPlayback& playback, std::function<void()> showFlows)
    : Gtk::Box(Gtk::Orientation::VERTICAL), models_(models), playback_(playback), showFlows_(std::move(showFlows)) {
    add_css_class("start-view");
    add_css_class("on-background");
    set_hexpand(true);
    set_vexpand(true);

    auto* column = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
    column->set_margin_top(120);
    column->set_margin_start(96);
    column->set_margin_end(96);
    column->set_valign(Gtk::Align::START);
    append(*column);

    headLabel_ = makeLabel("", {"mono-11", "tracked", "faintText"});
    column->append(*headLabel_);

    auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 14);
    row->set_margin_top(22);
    auto* sign = makeLabel("›", {"mono-30", "violet"});
    sign->set_valign(Gtk::Align::BASELINE);
    hideFromAccessibility(*sign);
    row->append(*sign);
    address_ = Gtk::make_managed<Gtk::Entry>();
    address_->set_has_frame(false);
    address_->add_css_class("start-address");
    address_->set_placeholder_text(localized("Where to?"));
    address_->set_hexpand(true);
    address_->set_valign(Gtk::Align::BASELINE);
    // Read by its name; the prompt is what it shows while empty.
    describe(*address_, localized("Address"));
    address_->signal_activate().connect(sigc::mem_fun(*this, &StartView::submitAddress));
    row->append(*address_);
    column->append(*row);

    failure_ = makeLabel("", {"mono-12-5", "red"});
    failure_->set_wrap(true);
    failure_->set_margin_top(22);
    failure_->set_visible(false);
    column->append(*failure_);

    flows_ = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 6);
    flows_->set_margin_top(20);
    column->append(*flows_);

    showProfile();
    listFlows();
    if (models_.flows) models_.flows->flowsChanged().connect(sigc::mem_fun(*this, &StartView::listFlows));
    if (auto* profiles = models_.profiles) {
        profiles->profiles.changed().connect(sigc::mem_fun(*this, &StartView::showProfile));
        profiles->currentID.changed().connect(sigc::mem_fun(*this, &StartView::showProfile));
    }
    // Each time the view is shown it reads the flows folder again, and the
    // field takes the keyboard, unless the person is using another control:
    // a profile the agent chooses brings this view back while the person
    // types in a panel.
    signal_map().connect([this] {
        if (models_.flows) models_.flows->reload();
        GtkRoot* root = gtk_widget_get_root(GTK_WIDGET(gobj()));
        GtkWidget* focus = root ? gtk_root_get_focus(root) : nullptr;
        if (!focus || !gtk_widget_get_mapped(focus)) address_->grab_focus();
    });
}

void StartView::submitAddress() {
    showFailure(std::nullopt);
    ++opening_;
    std::string text = address_->get_text();
    unsigned submission = ++submissions_;
    static_cast<void>(detach([&] { return open(liveness_.token(), this, submission, models_.session, text); }));
}

void StartView::opened(unsigned submission, std::optional<std::string> failure) {
    --opening_;
    // An address submitted since took its place: its end is what counts.
    if (failure && submission == submissions_) {
        failedAt_ = *models_.session->url;
        showFailure(failure);
    }
    if (holdChanged_) holdChanged_();
}

bool StartView::holdsPageArea() const {
    return opening_ > 0 || (failure_->get_visible() && *models_.session->url == failedAt_);
}

void StartView::showFailure(std::optional<std::string> text) {
    failure_->set_text(text.value_or(""));
    failure_->set_visible(text.has_value());
}

std::optional<std::string> StartView::failureText() const {
    if (!failure_->get_visible()) return std::nullopt;
    return std::string(failure_->get_text());
}

void StartView::showProfile() {
    head_ = localized("New session · profile %@", {models_.profileName()});
    headLabel_->set_text(upperCase(head_));
}

void StartView::listFlows() {
    while (auto* child = flows_->get_first_child()) flows_->remove(*child);
    const auto* flows = models_.flows ? &models_.flows->flows() : nullptr;
    if (!flows || flows->empty()) {
        flows_->append(*makeLabel(localized("flows the agent records will appear here"), {"mono-12-5", "faintText"}));
        return;
    }
    // The first eight by name; more are not shown.
    for (std::size_t i = 0; i < std::min<std::size_t>(flows->size(), 8); ++i) {
        const ListedFlow& flow = (*flows)[i];
        auto* button = Gtk::make_managed<Gtk::Button>();
        button->add_css_class("plain");
        button->set_halign(Gtk::Align::START);
        auto* line = Gtk::make_managed<Gtk::Box>();
        line->append(*makeLabel(localized("flow"), {"mono-12-5", "secondaryText"}));
        const std::string count = formatStepCount(static_cast<std::int64_t>(flow.stepCount));
        line->append(*makeLabel("   " + flow.name + " · " + count, {"mono-12-5", "faintText"}));
        button->set_child(*line);
        readAsOne(*button, localized("flow") + " " + flow.name + " · " + count);
        describe(*button, {}, localized("Replay this flow"));
        button->signal_clicked().connect([this, i] { replay(i); });
        flows_->append(*button);
    }
}

void StartView::replay(std::size_t index) {
    if (!models_.flows || index >= models_.flows->flows().size()) return;
    Flow flow = models_.flows->flows()[index].flow();
    // The replay's first load may put the page in this view's place and free
    // it: nothing of this view is touched once the replay has begun.
    auto showFlows = showFlows_;
    playback_.replayFlow(flow, models_.session);
    if (showFlows) showFlows();
}

std::vector<std::string> StartView::flowLines() const {
    std::vector<std::string> lines;
    for (auto* child = flows_->get_first_child(); child; child = child->get_next_sibling()) {
        std::string text;
        std::function<void(Gtk::Widget&)> collect = [&](Gtk::Widget& widget) {
            if (auto* label = dynamic_cast<Gtk::Label*>(&widget)) text += label->get_text();
            for (auto* inner = widget.get_first_child(); inner; inner = inner->get_next_sibling()) collect(*inner);
        };
        collect(*child);
        lines.push_back(text);
    }
    return lines;
}

} // namespace vesk::ui
