#pragma once

// The log of the agent's tool calls, kept in memory, and the switch by which
// the person watching takes control. Calls without a long pause between them
// form a run; the newest run is computed from the log on every read.

#include "Platform/Clock.h"
#include "Platform/Observable.h"

#include <sigc++/sigc++.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vesk {

class AgentActivity {
public:
    static constexpr std::size_t maxEntries = 500;

    struct Entry {
        struct Outcome {
            enum class Kind { running, succeeded, failed };
            Kind kind = Kind::running;
            std::string failure; // the failure text when failed

            static Outcome running() { return {Kind::running, {}}; }
            static Outcome succeeded() { return {Kind::succeeded, {}}; }
            static Outcome failed(std::string text) { return {Kind::failed, std::move(text)}; }
            bool operator==(const Outcome&) const = default;
        };

        int id = 0;
        Instant date;                   // when the call started
        std::optional<Instant> finished; // when it ended; none while it runs
        std::string tool;
        std::string target; // what the call acted on; may be empty
        Outcome outcome;

        // The end of the call: when it finished, or its start while it runs.
        Instant end() const { return finished.value_or(date); }
        bool operator==(const Entry&) const = default;
    };

    struct Run {
        Instant started;              // the start of the run's first call
        int steps = 0;                // calls in the run
        double elapsed = 0;           // seconds from `started` to the end of the last call
        double acting = 0;            // seconds spent inside the calls
        std::vector<double> decisions; // seconds between one call's end and the next one's start

        double decisionTotal() const;
        std::optional<double> medianDecision() const;
        bool operator==(const Run&) const = default;
    };

    // Seconds; a longer pause between two calls starts a new run. Set by the timing settings.
    Observable<double> runPause{120.0};
    // True while the person has taken control: tool calls are refused.
    Observable<bool> isPaused{false};

    // Opens a running entry and returns its id.
    int begin(std::string tool, std::string target, Instant date);
    // Closes the entry with that id; does nothing when it is no longer in the log.
    void finish(int id, Entry::Outcome outcome, Instant end);

    // Oldest first; at most maxEntries.
    const std::vector<Entry>& entries() const { return entries_.get(); }
    sigc::signal<void()>& entriesChanged() { return entries_.changed(); }
    // The id of the last entry opened; 0 before the first.
    int nextID() const { return nextID_.get(); }
    sigc::signal<void()>& nextIDChanged() { return nextID_.changed(); }

    // The run that holds the newest entry, or none when the log is empty.
    std::optional<Run> currentRun() const;

private:
    Observable<std::vector<Entry>> entries_;
    Observable<int> nextID_{0};
};

} // namespace vesk
