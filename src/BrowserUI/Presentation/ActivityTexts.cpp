#include "BrowserUI/Presentation/ActivityTexts.h"

#include "BrowserUI/Presentation/Formatters.h"
#include "BrowserUI/Presentation/Localized.h"

namespace vesk::ui {

RunSummaryLines runSummaryLines(const AgentActivity::Run& run) {
    RunSummaryLines lines;
    lines.steps = localized("%@ · %@", {formatStepCount(run.steps), formatMinutesSeconds(seconds(run.elapsed))});
    lines.split = localized("page %@ · model %@",
                            {formatShortDuration(run.acting), formatShortDuration(run.decisionTotal())});
    if (auto median = run.medianDecision()) {
        lines.median = localized("median decision %@", {formatShortDuration(*median)});
    }
    return lines;
}

LogRowTexts logRowTexts(const AgentActivity::Entry& entry, Instant start) {
    using Kind = AgentActivity::Entry::Outcome::Kind;
    LogRowTexts row;
    row.tool = entry.tool;
    switch (entry.outcome.kind) {
    case Kind::running:
        row.tool += " …";
        row.toolColour = "blue";
        break;
    case Kind::succeeded:
        row.toolColour = "text";
        break;
    case Kind::failed:
        row.toolColour = "red";
        row.failure = entry.outcome.failure;
        break;
    }
    std::string sinceStart = formatMinutesSeconds(entry.date - start);
    row.times = entry.finished ? formatShortDuration(toSeconds(*entry.finished - entry.date)) + " · " + sinceStart
                               : sinceStart;
    if (!entry.target.empty()) row.target = entry.target;
    return row;
}

} // namespace vesk::ui
