#pragma once

// The window's replays of saved flows: which flow plays now, and the last
// report of each flow replayed from the window. One replay at a time; the
// agent's own replays do not pass through here.

#include "BrowserCore/FlowModel/Flow.h"
#include "BrowserCore/Flows/FlowReport.h"
#include "Platform/Observable.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace vesk {

class BrowserSession;

namespace ui {

class FlowPlayback {
public:
    FlowPlayback() = default;
    FlowPlayback(const FlowPlayback&) = delete;
    FlowPlayback& operator=(const FlowPlayback&) = delete;

    // The last report of each flow, by the flow's name when its replay began.
    Observable<std::map<std::string, FlowReport>> reports;  // every change is announced
    // The flow being replayed now.
    Observable<std::optional<std::string>> running;

    // Starts replaying the flow unless one plays already (then nothing
    // happens); returns at once. The report arrives when the replay ends,
    // also if this object is gone by then (it is then dropped).
    void replayFlow(const Flow& flow, std::shared_ptr<BrowserSession> session);
    // Removes the flow's report, if any.
    void forgetReport(const std::string& name);

private:
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace ui
} // namespace vesk
