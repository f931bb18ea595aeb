#pragma once

// The outcome of replaying a flow: one result per step, in order, and the
// report as the agent reads it.

#include "BrowserCore/FlowModel/FlowStep.h"
#include "BrowserCore/Records/PageRecords.h"
#include "Platform/Clock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesk {

struct StepResult {
    class Status {
    public:
        enum class Kind { passed, failed, skipped };

        static Status passed() { return Status(Kind::passed, {}); }
        // `reason` is a whole sentence.
        static Status failed(std::string reason) { return Status(Kind::failed, std::move(reason)); }
        static Status skipped() { return Status(Kind::skipped, {}); }

        Kind kind() const { return kind_; }
        // Empty unless failed.
        const std::string& reason() const { return reason_; }
        bool operator==(const Status&) const = default;

    private:
        Status(Kind kind, std::string reason) : kind_(kind), reason_(std::move(reason)) {}
        Kind kind_;
        std::string reason_;
    };

    // As stored in the flow, its ${NAME} references unreplaced.
    FlowStep step;
    Status status = Status::skipped();
    // The element was found only through its CSS selector.
    bool usedSelector = false;
    Duration duration{};
    // PNG of the page when the step failed.
    std::optional<std::vector<std::uint8_t>> screenshot;
    // The page when a step with a target failed.
    std::optional<PageSnapshot> snapshot;

    // A step not run: skipped, no time, nothing kept.
    static StepResult skipped(FlowStep step);
};

struct FlowReport {
    std::string name;
    std::vector<StepResult> steps;

    // No step failed (a report without steps has passed).
    bool passed() const;
    // The head line, then one line per step; no line feed at the end.
    std::string summary() const;
    // "Flow", the name, whether it passed and how many steps did.
    std::string headLine() const;
    // The line of the step at `index` (from 0): its mark, number and step,
    // and its reason when it failed; the step and the reason each cut to
    // `partLimit` characters.
    std::string stepLine(std::size_t index, std::size_t partLimit = std::string::npos) const;
};

} // namespace vesk
