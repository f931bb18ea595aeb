#include "BrowserMCP/AgentActivity.h"

#include <algorithm>
#include <iterator>

namespace vesk {

namespace {

double secondsBetween(Instant from, Instant to) { return toSeconds(to - from); }

} // namespace

double AgentActivity::Run::decisionTotal() const {
    double total = 0;
    for (double decision : decisions) total += decision;
    return total;
}

std::optional<double> AgentActivity::Run::medianDecision() const {
    if (decisions.empty()) return std::nullopt;
    auto sorted = decisions;
    std::sort(sorted.begin(), sorted.end());
    auto middle = sorted.size() / 2;
    if (sorted.size() % 2 == 1) return sorted[middle];
    return (sorted[middle - 1] + sorted[middle]) / 2;
}

int AgentActivity::begin(std::string tool, std::string target, Instant date) {
    int id = nextID_.get() + 1;
    nextID_.set(id);
    entries_.modify([&](std::vector<Entry>& entries) {
        entries.push_back(Entry{id, date, std::nullopt, std::move(tool), std::move(target), Entry::Outcome::running()});
        if (entries.size() > maxEntries) {
            entries.erase(entries.begin(), entries.end() - static_cast<std::ptrdiff_t>(maxEntries));
        }
    });
    return id;
}

void AgentActivity::finish(int id, Entry::Outcome outcome, Instant end) {
    const auto& entries = entries_.get();
    auto found = std::find_if(entries.rbegin(), entries.rend(), [&](const Entry& entry) { return entry.id == id; });
    if (found == entries.rend()) return;
    auto index = static_cast<std::size_t>(std::distance(found, entries.rend()) - 1);
    entries_.modify([&](std::vector<Entry>& entries) {
        entries[index].finished = end;
        entries[index].outcome = std::move(outcome);
    });
}

std::optional<AgentActivity::Run> AgentActivity::currentRun() const {
    std::optional<Run> run;
    std::optional<Instant> previousEnd;
    for (const auto& entry : entries_.get()) {
        Instant end = entry.end();
        double gap = previousEnd ? secondsBetween(*previousEnd, entry.date) : 0;
        // A gap of exactly runPause still continues the run.
        if (!previousEnd || gap > runPause.get()) {
            run = Run{entry.date, 0, 0, 0, {}};
        } else {
            run->decisions.push_back(std::max(gap, 0.0));
        }
        run->steps += 1;
        run->acting += secondsBetween(entry.date, end);
        run->elapsed = secondsBetween(run->started, end);
        previousEnd = end;
    }
    return run;
}

} // namespace vesk
