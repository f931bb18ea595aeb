#include "BrowserUI/SidePanel/FlowsPanel.h"

#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserUI/Presentation/FlowPlayback.h"
#include "BrowserUI/SidePanel/FlowRow.h"
#include "BrowserUI/SidePanel/Recorder.h"

#include <gtkmm/scrolledwindow.h>

namespace vesk::ui {

FlowsPanel::FlowsPanel(std::shared_ptr<BrowserSession> session, FlowStore& flows, FlowPlayback& playback,
                       std::shared_ptr<UnsavedRecordings> unsaved)
    : Gtk::Box(Gtk::Orientation::VERTICAL), session_(std::move(session)), flows_(flows), playback_(playback) {
    add_css_class("panel");
    recorder_ = Gtk::make_managed<Recorder>(session_, flows_, std::move(unsaved));
    append(*recorder_);
    append(*makeRule(Gtk::Orientation::HORIZONTAL, "separator"));
    list_.set_vexpand(true);
    append(list_);
    append(*makeRule(Gtk::Orientation::HORIZONTAL, "separator"));
    folder_ = Gtk::make_managed<Gtk::Button>();
    folder_->add_css_class("plain");
    folder_->set_size_request(-1, 32);
    pad(*folder_, 14, 14, 0, 0);
    folder_->signal_clicked().connect(sigc::mem_fun(*this, &FlowsPanel::chooseFolder));
    nameForFocus(*folder_, "folder");
    append(*folder_);

    flows_.flowsChanged().connect(sigc::mem_fun(later_, &LaterDraw::request));
    flows_.directoryChanged().connect(sigc::mem_fun(*this, &FlowsPanel::showFolder));
    playback_.reports.changed().connect(sigc::mem_fun(later_, &LaterDraw::request));
    playback_.running.changed().connect(sigc::mem_fun(*this, &FlowsPanel::runningChanged));
    // Flows that others saved or removed show up each time the panel does.
    signal_map().connect([this] { flows_.reload(); });
    if (playback_.running->has_value()) expanded_.insert(**playback_.running);
    showList();
    showFolder();
}

void FlowsPanel::runningChanged() {
    // The running flow's row opens, and stays open after the replay.
    if (playback_.running->has_value()) expanded_.insert(**playback_.running);
    later_.request();
}

void FlowsPanel::showList() {
    focus_.note(*this);
    clear(list_);
    rows_.clear();
    if (flows_.flows().empty()) {
        auto* empty = makeLabel(localized("flows you or the agent record will appear here"), {"faintText"});
        empty->set_wrap(true);
        pad(*empty, 14, 14, 14, 14);
        list_.append(*empty);
    } else {
        auto* column = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
        for (const ListedFlow& flow : flows_.flows()) {
            auto found = playback_.reports->find(flow.name);
            const FlowReport* report = found == playback_.reports->end() ? nullptr : &found->second;
            FlowRow::Actions actions{
                [this, name = flow.name] {
                    if (!expanded_.erase(name)) expanded_.insert(name);
                    later_.request();
                },
                [this, flow] { playback_.replayFlow(flow.flow(), session_); },
                [this, flow] { deleteFlow(flow.flow()); },
            };
            auto* row = Gtk::make_managed<FlowRow>(flow, report, *playback_.running, expanded_.contains(flow.name),
                                                   std::move(actions));
            rows_.push_back(row);
            column->append(*row);
            column->append(*makeRule(Gtk::Orientation::HORIZONTAL, "separator"));
        }
        list_.append(*makeScroller(*column));
    }
    if (failure_) {
        auto* text = makeFailureText(*failure_);
        pad(*text, 14, 14, 0, 8);
        list_.append(*text);
    }
    // A row's replay button is gone while its flow plays: the row's name
    // keeps the keyboard; a deleted flow's row leaves it on the folder.
    std::vector<std::string> names;
    if (const auto& noted = focus_.noted()) {
        names.push_back(*noted);
        names.push_back(noted->substr(0, noted->rfind('/')) + "/open");
    }
    names.push_back("folder");
    focus_.restore(*this, names);
}

void FlowsPanel::showFolder() {
    const auto& directory = flows_.directory();
    auto* line = Gtk::make_managed<Gtk::Box>();
    line->append(*makeLabel(localized("folder "), {"faintText"}));
    auto* name = makeLabel(directory.filename().empty() ? directory.parent_path().filename().string()
                                                        : directory.filename().string(),
                           {"secondaryText"});
    name->set_ellipsize(Pango::EllipsizeMode::MIDDLE);
    line->append(*name);
    folder_->set_child(*line);
    // Read by what it shows; the sentence that says more is its description.
    readAsOne(*folder_, localized("folder ") + name->get_text());
    std::string help = localized("Flows are saved in %@. Click to choose another folder.", {directory.string()});
    describe(*folder_, {}, help);
}

void FlowsPanel::chooseFolder() {
    ui::chooseFolder(*this, localized("Choose the flows folder"), chooser_,
                     [this](const std::string& path) { useFolder(path); });
}

void FlowsPanel::useFolder(const std::string& path) {
    flows_.useDirectory(path);
}

void FlowsPanel::deleteFlow(const Flow& flow) {
    // A flow that is still there keeps its row and report; the failure says why.
    noteFailure(failure_, [&] {
        flows_.remove(flow);
        playback_.forgetReport(flow.name);
    });
    later_.request();
}

} // namespace vesk::ui
