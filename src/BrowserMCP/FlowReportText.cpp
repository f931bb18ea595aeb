// A replayed flow's report as the agent reads it, kept within the length of
// an answer without losing the steps that ran.

#include "BrowserMCP/PageRendering.h"

#include "Platform/Text.h"

#include <optional>

namespace vesk::PageRendering {

namespace {

using Kind = StepResult::Status::Kind;

// How long the step and the reason of a line may be once a report is too long.
constexpr std::size_t shortPart = 500;

struct Entry {
    std::string line;
    // The head line, the skipped steps and the last step that ran stay.
    bool kept = true;
    std::size_t step = 0;  // the step's number, for the others
};

std::size_t lengthOf(const std::vector<Entry>& entries) {
    std::size_t total = 0;
    for (const auto& entry : entries) total += text::characterCount(entry.line) + 1;
    return total;
}

std::string joinedEntries(const std::vector<Entry>& entries) {
    std::string text;
    for (const auto& entry : entries) text += (text.empty() ? "" : "\n") + entry.line;
    return text;
}

bool skipped(const FlowReport& report, std::size_t index) {
    return report.steps[index].status.kind() == Kind::skipped;
}

// Every line on a line of its own; `shortened`: runs of skipped steps folded
// into one line each, and long steps and reasons cut.
std::vector<Entry> entriesOf(const FlowReport& report, bool shortened) {
    std::optional<std::size_t> lastRan;
    for (std::size_t i = 0; i < report.steps.size(); ++i) {
        if (!skipped(report, i)) lastRan = i;
    }
    std::vector<Entry> entries{{oneLine(report.headLine())}};
    for (std::size_t i = 0; i < report.steps.size(); ++i) {
        std::size_t last = i;
        while (shortened && skipped(report, i) && last + 1 < report.steps.size() && skipped(report, last + 1)) ++last;
        if (last > i) {
            entries.push_back({"\u2013 " + std::to_string(i + 1) + ". to " + std::to_string(last + 1) + ". (skipped)"});
            i = last;
            continue;
        }
        std::string line = oneLine(report.stepLine(i, shortened ? shortPart : std::string::npos));
        entries.push_back({std::move(line), skipped(report, i) || i == lastRan, i + 1});
    }
    return entries;
}

// The lines within `budget` characters: the kept ones, and of the others
// (passed steps) as many of the first as fit, the rest named in one line.
std::string reportWithin(const FlowReport& report, std::size_t budget) {
    std::vector<Entry> entries = entriesOf(report, false);
    if (lengthOf(entries) <= budget) return joinedEntries(entries);
    entries = entriesOf(report, true);
    if (lengthOf(entries) <= budget) return joinedEntries(entries);

    std::size_t used = 200;  // the line that names the steps left out
    for (const auto& entry : entries) {
        if (entry.kept) used += text::characterCount(entry.line) + 1;
    }
    std::vector<Entry> shown;
    std::optional<std::size_t> omission;
    std::size_t first = 0, last = 0;
    for (auto& entry : entries) {
        if (!entry.kept) {
            const std::size_t length = text::characterCount(entry.line) + 1;
            if (!omission && used + length <= budget) {
                used += length;
            } else {
                if (!omission) {
                    omission = shown.size();
                    first = entry.step;
                    shown.push_back({});
                }
                last = entry.step;
                continue;
            }
        }
        shown.push_back(std::move(entry));
    }
    if (omission) {
        shown[*omission].line = "\u2713 " + std::to_string(first) + ". to " + std::to_string(last) +
                                ". passed (their lines are left out: the whole report is longer than an answer may be)";
    }
    return joinedEntries(shown);
}

} // namespace

std::string flowReport(const FlowReport& report, std::size_t limit) {
    // The wrapper's own length, and what neutralising its marker word in the
    // report adds, come off the report's budget.
    std::size_t budget = limit - std::min(limit, text::characterCount(pageContent({""})));
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string wrapped = pageContent({reportWithin(report, budget)});
        const std::size_t length = text::characterCount(wrapped);
        if (length <= limit) return wrapped;
        budget -= std::min(budget, length - limit);
    }
    return withinLimit(pageContent({reportWithin(report, budget)}), limit);
}

} // namespace vesk::PageRendering
