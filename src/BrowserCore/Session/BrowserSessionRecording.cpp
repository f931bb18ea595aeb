// The recording of a flow: its start and stop, the person's actions taken in
// from the page, and the typing the page has not reported yet. Every step
// joins the recording through recordStep, which keeps it only while a
// recording runs and no popup is active.

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Records/PersonAction.h"
#include "BrowserCore/Recorders/TypedValueMask.h"

#include <glib.h>

namespace vesk {

bool BrowserSession::isRecording() const {
    return recording->has_value();
}

void BrowserSession::recordStart(const std::string& name) {
    Flow flow;
    flow.name = name;
    // A blank page, or one not loaded yet, starts an empty recording.
    if (url->has_value()) {
        // The scheme comes back lower-cased and interned.
        const char* scheme = g_uri_peek_scheme((*url)->c_str());
        bool blank = scheme && std::string_view(scheme) == "about";
        if (!blank) {
            FlowStep start;
            start.action = FlowStep::Action::navigate;
            start.value = **url;
            flow.steps.push_back(std::move(start));
        }
    }
    bool onlyItsStart = !flow.steps.empty();
    recording.announce(std::move(flow));
    recordingIsOnlyItsStart.set(onlyItsStart);
    recordingConsoleMark.set(console.errorCount());
}

Task<std::optional<Flow>> BrowserSession::recordStop() {
    co_await captureTyped();
    std::optional<Flow> taken = *recording;
    // Ending a recording always changes the field: no comparison needed.
    if (taken) recording.announce(std::nullopt);
    co_return taken;
}

Task<void> BrowserSession::captureTyped() {
    if (!recording->has_value() || activePopup->get() || !url->has_value()) co_return;
    std::optional<PersonAction> typed;
    try {
        // A page too busy to answer must not hold up the command, least of
        // all a navigation away from it.
        auto value = co_await answerInTime([this] { return agentCall("typed", nlohmann::json::object()); });
        if (value) typed = PersonAction::decode(*value);
    } catch (const std::exception&) {
        // Typing that cannot be read is left out; the command goes on.
        co_return;
    }
    if (typed) maskRecordedValue(*typed);
}

void BrowserSession::maskRecordedValue(const PersonAction& action) {
    if (!action.trusted && !options->recordsScriptedEvents) return;
    FlowStep step;
    step.action = action.action;
    if (action.target) step.target = action.target->locator;
    step.value = action.value;
    if (action.action == FlowStep::Action::fill && action.value) {
        step.value = maskTypedValue(*action.value, action.target && action.target->secret, siteValues(std::nullopt));
    }
    recordStep(step);
}

void BrowserSession::takePersonAction(const std::string& text) {
    if (!recording->has_value()) return;
    PersonAction action;
    try {
        action = PersonAction::decoded(text);
    } catch (const std::exception&) {
        return;  // not an action the page agent would send
    }
    maskRecordedValue(action);
}

} // namespace vesk
