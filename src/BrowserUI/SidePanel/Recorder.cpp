#include "BrowserUI/SidePanel/Recorder.h"

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserUI/Presentation/RecorderState.h"

namespace vesk::ui {

namespace {

Gtk::Box* row(int spacing) {
    auto* made = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, spacing);
    made->set_valign(Gtk::Align::CENTER);
    return made;
}

Gtk::Widget* recorderSpace() {
    auto* space = Gtk::make_managed<Gtk::Box>();
    space->set_hexpand(true);
    return space;
}

} // namespace

Recorder::Recorder(std::shared_ptr<BrowserSession> session, FlowStore& flows,
                   std::shared_ptr<UnsavedRecordings> unsaved)
    : Gtk::Box(Gtk::Orientation::VERTICAL), session_(std::move(session)), flows_(flows), unsaved_(std::move(unsaved)) {
    add_css_class("recorder");
    pad(content_, 14, 14, 10, 10);
    append(content_);
    session_->recording.changed().connect(sigc::mem_fun(*this, &Recorder::recordingChanged));
    flows_.flowsChanged().connect(sigc::mem_fun(*this, &Recorder::nameChanged));
    unsaved_->changed().connect(sigc::mem_fun(later_, &LaterDraw::request));
    redraw();
}

std::optional<std::string> Recorder::failure() const {
    if (failure_ || unsaved_->get().empty()) return failure_;
    return unsaved_->get().front().failure;
}

const Flow* Recorder::unsaved() const {
    return unsaved_->get().empty() ? nullptr : &unsaved_->get().front().flow;
}

void Recorder::recordingChanged() {
    // A step more keeps the card as it is, stop button included, so that a
    // press on it is never lost to a redraw.
    if (stop_ && session_->recording->has_value() && (*session_->recording)->name == shownName_) {
        showCount(**session_->recording);
        return;
    }
    later_.request();
}

void Recorder::showCount(const Flow& flow) {
    bool saved = session_->recording->has_value();
    std::string count = formatStepCount(static_cast<std::int64_t>(flow.steps.size()));
    count_->set_text(count);
    readAsOne(*count_->get_parent(),
              (saved ? localized("● recording ") : localized("○ not saved ")) + flow.name + ", " + count);
}

void Recorder::redraw() {
    focus_.note(*this);
    clear(content_);
    recordAFlow_ = record_ = cancel_ = stop_ = nullptr;
    nameField_ = nullptr;
    warning_ = nullptr;
    switch (recorderMode(session_->recording->has_value(), !unsaved_->get().empty(), name_)) {
    case RecorderMode::recording: showRecording(**session_->recording); break;
    case RecorderMode::unsaved:
        showRecording(unsaved_->get().front().flow);
        showNaming();
        break;
    case RecorderMode::naming: showNaming(); break;
    case RecorderMode::idle: showIdle(); break;
    }
    if (auto shown = failure()) {
        content_.append(*makeFailureText(*shown));
    }
    // A control that went leaves the focus on what the card offers now.
    std::vector<std::string> names{"name", "stop", "record a flow"};
    if (focus_.noted()) names.insert(names.begin(), *focus_.noted());
    focus_.restore(*this, names);
}

void Recorder::showRecording(const Flow& flow) {
    bool saved = session_->recording->has_value();
    auto* line = row(8);
    line->set_valign(Gtk::Align::START);
    auto* words = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 2);
    words->set_hexpand(true);
    auto* title = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL);
    title->append(*makeLabel(saved ? localized("● recording ") : localized("○ not saved "), {saved ? "red" : "amber"}));
    auto* name = makeLabel(flow.name, {"text"});
    name->set_ellipsize(Pango::EllipsizeMode::END);
    title->append(*name);
    words->append(*title);
    count_ = makeLabel("", {"secondaryText"});
    words->append(*count_);
    shownName_ = flow.name;
    showCount(flow);
    line->append(*words);
    if (saved) {
        stop_ = makePlainButton(localized("stop"), {"violet"});
        describe(*stop_, localized("Stop recording and save the flow"));
        stop_->set_valign(Gtk::Align::START);
        stop_->signal_clicked().connect(sigc::mem_fun(*this, &Recorder::stop));
        nameForFocus(*stop_, "stop");
        line->append(*stop_);
    }
    content_.append(*line);
}

void Recorder::showIdle() {
    recordAFlow_ = Gtk::make_managed<Gtk::Button>();
    recordAFlow_->add_css_class("plain");
    recordAFlow_->set_hexpand(true);
    auto* label = Gtk::make_managed<Gtk::Box>();
    label->append(*makeLabel("●", {"red"}));
    label->append(*makeLabel(localized(" record a flow"), {"violet"}));
    recordAFlow_->set_child(*label);
    readAsOne(*recordAFlow_, localized("Record a flow"));
    describe(*recordAFlow_, {}, localized("Records what you or the agent do on the page as steps, to replay later."));
    nameForFocus(*recordAFlow_, "record a flow");
    recordAFlow_->signal_clicked().connect(sigc::mem_fun(*this, &Recorder::startNaming));
    content_.append(*recordAFlow_);
}

void Recorder::showNaming() {
    // Shown for a new flow, or to save the unsaved one under its name or another.
    bool renaming = !unsaved_->get().empty();
    nameField_ = Gtk::make_managed<Gtk::Entry>();
    titleField(*nameField_, localized("Flow name"), localized("login"));
    nameField_->set_text(renaming ? rename_.value_or(unsaved_->get().front().flow.name) : name_.value_or(""));
    nameForFocus(*nameField_, "name");
    auto* nameRow = fieldRow(localized("name"), 0, *nameField_);
    pad(*nameRow, 0, 0, 0, 0);
    content_.append(*nameRow);

    auto* actions = row(12);
    warning_ = makeLabel(localized("replaces the saved one"), {"amber"});
    actions->append(*warning_);
    actions->append(*recorderSpace());
    cancel_ = makePlainButton(renaming ? localized("discard") : localized("cancel"), {"secondaryText"});
    record_ = makePlainButton(renaming ? localized("save") : localized("record"), {"violet"});
    actions->append(*cancel_);
    actions->append(*record_);
    nameForFocus(*cancel_, "cancel");
    nameForFocus(*record_, "record");
    content_.append(*actions);

    cancel_->signal_clicked().connect([this, renaming] {
        if (renaming) return discardUnsaved();
        name_.reset();
        later_.request();
    });
    auto submit = [this, renaming] { renaming ? saveUnsaved() : record(); };
    record_->signal_clicked().connect(submit);
    nameField_->signal_activate().connect(submit);
    nameField_->signal_changed().connect([this, renaming] {
        (renaming ? rename_ : name_) = nameField_->get_text();
        nameChanged();
    });
    nameChanged();
    if (std::exchange(focusesName_, false)) nameField_->grab_focus();
}

void Recorder::nameChanged() {
    if (!nameField_) return;
    std::string trimmed = trimmedFlowName(nameField_->get_text().raw());
    warning_->set_visible(!trimmed.empty() && replacesSavedFlow(flows_, trimmed));
    record_->set_sensitive(!trimmed.empty());
    setColour(*record_->get_child(), trimmed.empty() ? "faintText" : "violet");
}

void Recorder::startNaming() {
    failure_.reset();
    name_ = std::string();
    focusesName_ = true;
    later_.request();
}

void Recorder::record() {
    std::string trimmed = trimmedFlowName(name_.value_or(""));
    if (trimmed.empty()) return;
    session_->recordStart(trimmed);
    name_.reset();
    focus_.moveTo("stop");
    later_.request();
}

void Recorder::stop() {
    static_cast<void>(detach([&] { return stopAndSave(this, liveness_.token(), session_, flows_, unsaved_); }));
}

// The card may be gone by the time the session hands the flow back; the flow
// is saved all the same, and one that cannot be goes to the window's unsaved
// recordings, where this card or the next one offers it.
Task<void> Recorder::stopAndSave(Recorder* card, std::weak_ptr<void> alive, std::shared_ptr<BrowserSession> session,
                                 FlowStore& flows, std::shared_ptr<UnsavedRecordings> unsaved) {
    std::optional<Flow> flow = co_await session->recordStop();
    if (!flow) co_return;
    std::optional<std::string> failure;
    if (flow->steps.empty()) {
        failure = localized("no step was recorded");
    } else {
        try {
            flows.save(*flow);
        } catch (const std::exception& error) {
            std::string text = saveFailureText(error, flow->name);
            unsaved->modify([&](auto& list) { list.push_back({std::move(*flow), std::move(text)}); });
        }
    }
    if (alive.expired()) co_return;
    card->failure_ = failure;
    card->later_.request();
}

void Recorder::saveUnsaved() {
    if (unsaved_->get().empty() || !nameField_) return;
    std::string trimmed = trimmedFlowName(nameField_->get_text().raw());
    if (trimmed.empty()) return;
    Flow flow = unsaved_->get().front().flow;
    flow.name = trimmed;
    failure_.reset();
    try {
        flows_.save(flow);
        rename_.reset();
        unsaved_->modify([](auto& list) { list.erase(list.begin()); });
    } catch (const std::exception& error) {
        std::string text = saveFailureText(error, trimmed);
        unsaved_->modify([&](auto& list) { list.front() = {std::move(flow), std::move(text)}; });
    }
}

void Recorder::discardUnsaved() {
    if (unsaved_->get().empty()) return;
    rename_.reset();
    unsaved_->modify([](auto& list) { list.erase(list.begin()); });
}

} // namespace vesk::ui
