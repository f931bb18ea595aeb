#include "BrowserUI/Presentation/AgentStatus.h"

#include "BrowserUI/Presentation/Formatters.h"
#include "BrowserUI/Presentation/Localized.h"

namespace vesk::ui {

AgentStatus agentStatus(bool isPaused, bool isRecording, const std::vector<AgentActivity::Entry>& entries,
                        const std::optional<AgentActivity::Run>& run) {
    if (isPaused) return {localized("paused"), "amber"};
    if (isRecording) return {localized("recording"), "red"};
    if (!entries.empty() && run) {
        std::string elapsed = formatMinutesSeconds(seconds(run->elapsed));
        std::string steps = std::to_string(run->steps);
        switch (entries.back().outcome.kind) {
        case AgentActivity::Entry::Outcome::Kind::succeeded:
            return {localized("idle · %@ · %@", {formatStepCount(run->steps), elapsed}), "faintText"};
        case AgentActivity::Entry::Outcome::Kind::running:
            return {localized("step %lld · %@", {steps, elapsed}), "blue"};
        case AgentActivity::Entry::Outcome::Kind::failed:
            return {localized("step %lld failed · %@", {steps, elapsed}), "red"};
        }
    }
    return {localized("idle · Ctrl+J"), "faintText"};
}

} // namespace vesk::ui
