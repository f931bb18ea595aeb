#include "BrowserUI/Window/TopBar.h"

#include "BrowserCore/Profiles/ProfileStore.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserUI/Presentation/AddressText.h"
#include "BrowserUI/Presentation/AgentStatus.h"
#include "BrowserUI/Presentation/Localized.h"
#include "BrowserUI/Presentation/TypedAddress.h"
#include "BrowserUI/Widgets/Palette.h"
#include "BrowserUI/Widgets/WidthLimit.h"

#include <gtkmm/eventcontrollerfocus.h>
#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/image.h>
#include <gtkmm/overlay.h>
#include <gtkmm/windowcontrols.h>
#include <glibmm/main.h>

#include <utility>
#include <vector>

namespace vesk::ui {

namespace {

constexpr int addressWidth = 520;

// Runs one navigation the bar started and hands its failure to the bar,
// unless the bar is gone by the time it ends.
Task<void> reportFailure(std::weak_ptr<void> alive, TopBar* bar, unsigned navigation, Task<void> work) {
    std::optional<std::string> failure;
    try {
        co_await work;
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (failure && !alive.expired()) bar->failed(navigation, std::move(*failure));
}

Task<void> back(std::shared_ptr<BrowserSession> session) {
    static_cast<void>(co_await session->goBack());
}
Task<void> forward(std::shared_ptr<BrowserSession> session) {
    static_cast<void>(co_await session->goForward());
}
Task<void> reloadPage(std::shared_ptr<BrowserSession> session) {
    static_cast<void>(co_await session->reload());
}
Task<void> open(std::weak_ptr<void> alive, TopBar* bar, unsigned submission, std::shared_ptr<BrowserSession> session,
                std::string text) {
    try {
        co_await openAddress(*session, std::move(text));
    } catch (const std::exception&) {
        if (!alive.expired()) bar->submitted(submission, true);
        throw;
    }
    if (!alive.expired()) bar->submitted(submission, false);
}

} // namespace

TopBar::TopBar(BrowserModels& models, std::function<void()> showProfiles)
    : models_(models), showProfiles_(std::move(showProfiles)) {
    add_css_class("top-bar");
    add_css_class("on-background");
    auto* column = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
    set_child(*column);

    auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 14);
    row->set_size_request(-1, 34);
    row->set_margin_end(14);
    column->append(*row);
    auto* leadingControls = Gtk::make_managed<Gtk::WindowControls>(Gtk::PackType::START);
    row->append(*leadingControls);
    leadingControls->set_margin_start(14);

    auto* history = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 10);
    back_ = historyButton("go-previous-symbolic", "Back", &TopBar::pressBack);
    forward_ = historyButton("go-next-symbolic", "Forward", &TopBar::pressForward);
    reload_ = historyButton("view-refresh-symbolic", "Reload", &TopBar::pressReload);
    stop_ = historyButton("process-stop-symbolic", "Stop loading", &TopBar::stopLoading);
    for (auto* button : {back_, forward_, reload_, stop_}) history->append(*button);
    row->append(*history);

    // The field, and over it the page's address drawn as host and path while
    // the field is not focused; the drawing takes no clicks.
    auto* field = Gtk::make_managed<Gtk::Overlay>();
    readAsLayout(*field);
    address_ = Gtk::make_managed<Gtk::Entry>();
    address_->set_has_frame(false);
    address_->add_css_class("address");
    address_->add_css_class("mono-12");
    address_->set_placeholder_text("about:blank");
    address_->set_width_chars(8);
    // Wide enough to reach the field's limit; the limit keeps it there.
    address_->set_max_width_chars(200);
    address_->set_valign(Gtk::Align::CENTER);
    describe(*address_, localized("Address"));
    field->set_child(*address_);
    formatted_ = Gtk::make_managed<Gtk::Box>();
    formatted_->set_can_target(false);
    formatted_->set_halign(Gtk::Align::START);
    formatted_->set_valign(Gtk::Align::CENTER);
    formatted_->set_margin_start(2);
    host_ = makeLabel("", {"mono-12", "text"});
    path_ = makeLabel("", {"mono-12", "secondaryText"});
    path_->set_ellipsize(Pango::EllipsizeMode::END);
    formatted_->append(*host_);
    formatted_->append(*path_);
    hideFromAccessibility(*formatted_);
    field->add_overlay(*formatted_);
    row->append(*Gtk::make_managed<WidthLimit>(*field, addressWidth));

    auto focus = Gtk::EventControllerFocus::create();
    focus->property_contains_focus().signal_changed().connect([this, focus = focus.get()] {
        addressFocused_ = focus->contains_focus();
        if (!addressFocused_) pageTakesKeyboard_ = 0;
        showAddress();
    });
    address_->add_controller(focus);
    // A key in the field after Return means the person is at work there.
    auto keys = Gtk::EventControllerKey::create();
    keys->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    keys->signal_key_pressed().connect(
        [this](guint, guint, Gdk::ModifierType) {
            pageTakesKeyboard_ = 0;
            return false;
        },
        false);
    address_->add_controller(keys);
    address_->signal_activate().connect(sigc::mem_fun(*this, &TopBar::submitAddress));
    address_->signal_changed().connect(sigc::mem_fun(*this, &TopBar::showAddress));

    auto* space = Gtk::make_managed<Gtk::Box>();
    space->set_hexpand(true);
    space->set_size_request(16, -1);
    row->append(*space);

    profile_ = Gtk::make_managed<Gtk::Button>();
    auto* profile = profile_;
    profile->add_css_class("plain");
    profile->set_focus_on_click(false);
    auto* profileLabel = Gtk::make_managed<Gtk::Box>();
    profileLabel->append(*makeLabel(localized("profile: "), {"mono-11", "faintText"}));
    profileName_ = makeLabel("", {"mono-11", "secondaryText"});
    profileLabel->append(*profileName_);
    profile->set_child(*profileLabel);
    hideFromAccessibility(*profileLabel);  // the button reads them as its name
    profile->signal_clicked().connect([this] {
        if (showProfiles_) showProfiles_();
    });
    describe(*profile, {}, localized("Cookies and logins belong to this profile. Click to change it."));
    row->append(*profile);

    auto* status = Gtk::make_managed<Gtk::Box>();
    status->append(*makeLabel(localized("agent: "), {"mono-11", "faintText"}));
    state_ = makeLabel("", {"mono-11"});
    status->append(*state_);
    row->append(*status);
    row->append(*Gtk::make_managed<Gtk::WindowControls>(Gtk::PackType::END));

    failure_ = makeLabel("", {"mono-12", "red"});
    failure_->set_wrap(true);
    failure_->set_margin_start(14);
    failure_->set_margin_end(14);
    failure_->set_margin_bottom(8);
    failure_->set_visible(false);
    column->append(*failure_);

    progress_ = Gtk::make_managed<Gtk::DrawingArea>();
    progress_->set_content_height(1);
    progress_->set_hexpand(true);
    progress_->set_draw_func(sigc::mem_fun(*this, &TopBar::drawProgress));
    hideFromAccessibility(*progress_);
    column->append(*progress_);

    auto& session = *models_.session;
    session.url.changed().connect(sigc::mem_fun(*this, &TopBar::followURL));
    for (auto* field : {&session.isLoading, &session.canGoBack, &session.canGoForward}) {
        field->changed().connect(sigc::mem_fun(*this, &TopBar::showHistory));
    }
    // Only methods of the bar itself are connected to the models, so that
    // the connections end with the bar.
    session.loadProgress.changed().connect(sigc::mem_fun(*this, &TopBar::redrawProgress));
    session.isLoading.changed().connect(sigc::mem_fun(*this, &TopBar::redrawProgress));
    session.recording.changed().connect(sigc::mem_fun(*this, &TopBar::showStatus));
    models_.activity.entriesChanged().connect(sigc::mem_fun(*this, &TopBar::showStatus));
    models_.activity.isPaused.changed().connect(sigc::mem_fun(*this, &TopBar::showStatus));
    models_.activity.runPause.changed().connect(sigc::mem_fun(*this, &TopBar::showStatus));
    if (auto* profiles = models_.profiles) {
        profiles->profiles.changed().connect(sigc::mem_fun(*this, &TopBar::showProfile));
        profiles->currentID.changed().connect(sigc::mem_fun(*this, &TopBar::showProfile));
    }

    followURL();
    showHistory();
    showProfile();
    showStatus();
}

Gtk::Button* TopBar::historyButton(const char* icon, const char* label, void (TopBar::*press)()) {
    auto* button = Gtk::make_managed<Gtk::Button>();
    auto* image = Gtk::make_managed<Gtk::Image>();
    image->set_from_icon_name(icon);
    image->set_pixel_size(12);
    // The button says what it does; its symbol adds nothing to that.
    hideFromAccessibility(*image);
    button->set_child(*image);
    button->add_css_class("plain");
    button->add_css_class("history");
    button->set_focus_on_click(false);
    button->signal_clicked().connect(sigc::mem_fun(*this, press));
    describe(*button, localized(label), localized(label));
    return button;
}

void TopBar::startNavigation(std::function<Task<void>(unsigned navigation)> work) {
    showFailure(std::nullopt);
    unsigned navigation = ++navigations_;
    static_cast<void>(detach([&] { return reportFailure(liveness_.token(), this, navigation, work(navigation)); }));
}

void TopBar::failed(unsigned navigation, std::string text) {
    // One the person started since took its place: its end is what counts.
    if (navigation == navigations_) showFailure(std::move(text));
}

bool TopBar::goBack() {
    if (!back_->get_sensitive()) return false;
    startNavigation([session = models_.session](unsigned) { return back(session); });
    return true;
}

bool TopBar::goForward() {
    if (!forward_->get_sensitive()) return false;
    startNavigation([session = models_.session](unsigned) { return forward(session); });
    return true;
}

bool TopBar::reload() {
    if (!reload_->get_visible() || !reload_->get_sensitive()) return false;
    startNavigation([session = models_.session](unsigned) { return reloadPage(session); });
    return true;
}

void TopBar::stopLoading() {
    webkit_web_view_stop_loading(models_.session->page->get());
}

void TopBar::focusAddress() {
    pageTakesKeyboard_ = 0;
    address_->grab_focus();
}

void TopBar::submitAddress() {
    std::string text = address_->get_text();
    // The field keeps the keyboard while the address opens, and with its
    // text when it fails; the page takes it once it has opened, unless the
    // person has gone on meanwhile.
    startNavigation([this, text](unsigned navigation) {
        submission_ = Submission{navigation, text, *models_.session->url};
        pageTakesKeyboard_ = navigation;
        return open(liveness_.token(), this, navigation, models_.session, text);
    });
}

void TopBar::submitted(unsigned submission, bool failed) {
    if (!submission_ || submission_->id != submission) return;
    if (!failed) {
        submission_.reset();
        if (addressFocused_ && std::exchange(pageTakesKeyboard_, 0) == submission) {
            GtkWidget* page = GTK_WIDGET(models_.session->page->get());
            if (gtk_widget_get_root(page) == gtk_widget_get_root(GTK_WIDGET(gobj()))) gtk_widget_grab_focus(page);
        }
        followURL();
        return;
    }
    // Kept until the page's address next changes from the one it was typed over.
    submission_->loading = false;
}

void TopBar::showFailure(std::optional<std::string> text) {
    failure_->set_text(text.value_or(""));
    failure_->set_visible(text.has_value());
}

void TopBar::followURL() {
    const auto& url = *models_.session->url;
    if (submission_ && !submission_->loading && url != submission_->over) submission_.reset();
    // What the person is typing is never overwritten.
    if (!addressFocused_) address_->set_text(submission_ ? submission_->text : url.value_or(""));
    showAddress();
    showHistory();
}

void TopBar::showAddress() {
    const auto& url = *models_.session->url;
    // Drawn only over the address itself: what the person typed (an address
    // that failed, or one left unsent) shows as it is, as it is read.
    bool formatted = url && !addressFocused_ && address_->get_text().raw() == *url;
    if (formatted) {
        auto parts = formattedAddress(*url);
        host_->set_text(parts.primary);
        path_->set_text(parts.secondary);
    }
    formatted_->set_visible(formatted);
    // Showing it makes it readable again; the field says the same.
    hideFromAccessibility(*formatted_);
    if (formatted) {
        address_->add_css_class("veiled");
        // A selection left from editing would show through as a block of colour.
        int at = address_->get_position();
        address_->select_region(at, at);
    } else {
        address_->remove_css_class("veiled");
    }
}

void TopBar::showHistory() {
    const auto& session = *models_.session;
    Gtk::Button* focused = nullptr;
    for (auto* button : {back_, forward_, reload_, stop_}) {
        if (button->has_focus()) focused = button;
    }
    if (focused || !keyboardMove_.connected()) historyFocus_ = focused;
    back_->set_sensitive(*session.canGoBack);
    forward_->set_sensitive(*session.canGoForward);
    reload_->set_sensitive(session.url->has_value());
    // Reload and Stop take turns in one place, and the keyboard goes from
    // one to the other before the first goes.
    bool loading = *session.isLoading;
    Gtk::Button* shown = loading ? stop_ : reload_;
    Gtk::Button* hidden = loading ? reload_ : stop_;
    shown->set_visible(true);
    if (hidden->has_focus() && canHold(*shown)) shown->grab_focus();
    hidden->set_visible(false);
    // A button that turns off leaves the keyboard nowhere (Back at the first
    // page): once the history has settled, the nearest button that can act
    // takes it.
    if (historyFocus_ && !canHold(*historyFocus_) && !keyboardMove_.connected())
        keyboardMove_ = Glib::signal_idle().connect(sigc::mem_fun(*this, &TopBar::moveKeyboardFromHistory));
}

bool TopBar::canHold(Gtk::Widget& button) const {
    return button.get_visible() && button.get_sensitive();
}

bool TopBar::moveKeyboardFromHistory() {
    Gtk::Button* left = std::exchange(historyFocus_, nullptr);
    keyboardMove_.disconnect();
    if (!left || canHold(*left)) return false;
    // Only while the keyboard is nowhere: the person may have moved on.
    GtkRoot* root = gtk_widget_get_root(GTK_WIDGET(gobj()));
    GtkWidget* focus = root ? gtk_root_get_focus(root) : nullptr;
    if (!root || (focus && gtk_widget_get_mapped(focus))) return false;
    std::vector<Gtk::Button*> nearest;
    if (left == back_) nearest = {forward_, reload_, stop_};
    else if (left == forward_) nearest = {back_, reload_, stop_};
    else nearest = {back_, forward_};
    for (auto* button : nearest) {
        if (canHold(*button) && button->grab_focus()) return false;
    }
    gtk_text_grab_focus_without_selecting(GTK_TEXT(gtk_editable_get_delegate(GTK_EDITABLE(address_->gobj()))));
    return false;
}

void TopBar::showProfile() {
    profileName_->set_text(models_.profileName());
    setAccessibleLabel(*profile_, localized("profile: ") + profileName_->get_text());
}

void TopBar::showStatus() {
    const auto& activity = models_.activity;
    auto status = agentStatus(*activity.isPaused, models_.session->isRecording(), activity.entries(),
                              activity.currentRun());
    state_->set_text(status.state);
    setColour(*state_, status.colour);
}

void TopBar::redrawProgress() {
    progress_->queue_draw();
}

void TopBar::drawProgress(const Cairo::RefPtr<Cairo::Context>& cairo, int width, int height) {
    auto fill = [&](const char* name, double fraction) {
        for (const auto& colour : palette) {
            if (std::string_view(colour.name) != name) continue;
            cairo->set_source_rgb(colour.red, colour.green, colour.blue);
            cairo->rectangle(0, 0, width * fraction, height);
            cairo->fill();
        }
    };
    fill("separator", 1);
    const auto& session = *models_.session;
    if (*session.isLoading) fill("violet", std::clamp(*session.loadProgress, 0.0, 1.0));
}

std::string TopBar::formattedAddressText() const {
    return host_->get_text() + path_->get_text();
}

bool TopBar::showsFormattedAddress() const {
    return formatted_->get_visible();
}

std::string TopBar::statusText() const {
    return localized("agent: ") + state_->get_text();
}

std::optional<std::string> TopBar::failureText() const {
    if (!failure_->get_visible()) return std::nullopt;
    return std::string(failure_->get_text());
}

bool TopBar::canPress(const char* name) const {
    Gtk::Button& which = button(name);
    return which.get_visible() && which.get_sensitive();
}

Gtk::Button& TopBar::button(const char* name) const {
    std::string_view which(name);
    return *(which == "back" ? back_ : which == "forward" ? forward_ : which == "reload" ? reload_ : stop_);
}

} // namespace vesk::ui
