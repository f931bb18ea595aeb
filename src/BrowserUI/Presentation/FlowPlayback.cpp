#include "BrowserUI/Presentation/FlowPlayback.h"

#include "BrowserCore/Flows/FlowRunner.h"

namespace vesk::ui {

namespace {

Task<void> replay(std::weak_ptr<int> alive, FlowPlayback* playback, Flow flow,
                  std::shared_ptr<BrowserSession> session) {
    std::string name = flow.name;
    // No step timeout of its own (the session's, read at each step) and no
    // values of the caller: references are filled from the page's site.
    FlowReport report = co_await FlowRunner{}.run(std::move(flow), std::move(session), {});
    if (alive.expired()) co_return;
    playback->reports.modify([&](auto& reports) { reports.insert_or_assign(name, std::move(report)); });
    playback->running.set(std::nullopt);
}

} // namespace

void FlowPlayback::replayFlow(const Flow& flow, std::shared_ptr<BrowserSession> session) {
    if (running->has_value()) return;
    running.set(flow.name);
    if (reports->contains(flow.name)) reports.modify([&](auto& all) { all.erase(flow.name); });
    static_cast<void>(detach([&] { return replay(alive_, this, flow, std::move(session)); }));
}

void FlowPlayback::forgetReport(const std::string& name) {
    if (reports->contains(name)) reports.modify([&](auto& all) { all.erase(name); });
}

} // namespace vesk::ui
