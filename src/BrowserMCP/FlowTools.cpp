// The tools that record, list, replay and repair flows: they join the
// session's recorder, the flow store and the flow runner to the agent.

#include "BrowserMCP/MCPServer.h"

#include "BrowserCore/Flows/FlowRunner.h"
#include "BrowserCore/Flows/FlowStore.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/PageRendering.h"
#include "BrowserMCP/ToolArguments.h"
#include "BrowserMCP/ToolError.h"
#include "Platform/Async.h"
#include "Platform/TildePath.h"

#include <glib.h>

#include <set>

namespace vesk {

namespace {

constexpr const char* flowNothingToAnswer = "the page to answer";

Json flowItemList(Json item) {
    Json items = Json::array();
    items.push_back(std::move(item));
    return items;
}

// A name as listings show it, between quotation marks.
std::string listedQuotedName(const std::string& name) { return "\"" + PageRendering::listedName(name) + "\""; }

// What a save said of the flow of another name whose file it took over:
// nothing, or a paragraph that names it.
std::string replacedText(const std::optional<std::string>& replacedName) {
    if (!replacedName) return {};
    return "\nIt replaced the flow of another name that the file held, since names that differ only in case or "
           "punctuation share a file:\n" +
           PageRendering::pageContent({PageRendering::listedName(*replacedName)});
}

// The saved flow whose name list_flows shows as `shown`, when only one does.
// A listing shows the characters that direct the order of text as U+FFFD, so
// an agent can only copy such a name as shown; flows whose names read alike
// are told apart by the names written out with their escapes.
std::optional<Flow> flowShownAs(const FlowStore& store, const std::string& shown) {
    std::set<std::string> names;
    for (const auto& flow : store.flows()) {
        if (PageRendering::listedName(flow.name) == shown) names.insert(flow.name);
    }
    if (names.size() > 1) throw ToolError::ambiguousFlow(shown, {names.begin(), names.end()});
    if (names.empty()) return std::nullopt;
    return store.flowNamed(*names.begin());
}

std::string pngItemData(const std::vector<std::uint8_t>& png) {
    gchar* base64 = g_base64_encode(png.data(), png.size());
    std::string data(base64);
    g_free(base64);
    return data;
}

} // namespace

std::string MCPServer::locatorText(const Locator& locator) { return locator.role + " \"" + locator.name + "\""; }

FlowStore& MCPServer::flowStore() const { return *flows_; }

Task<Json> MCPServer::flowTool(const std::string& name, Json arguments) {
    // A server made without a flow store records, but keeps nothing.
    if (!flows_ && name != "record_start") throw ToolError::notAvailable(name);
    if (name == "record_start") {
        std::string flowName = requiredString("name", arguments);
        session_->recordStart(flowName);
        co_return flowItemList(textItem("Recording " + listedQuotedName(flowName) +
                                    ". Navigation, actions and waits are being recorded; call record_stop when done."));
    }
    if (name == "record_stop") co_return co_await recordStopTool();
    if (name == "list_flows") co_return listFlowsTool();
    if (name == "run_flow") co_return co_await runFlowTool(std::move(arguments));
    co_return repairFlowTool(arguments);
}

Task<Json> MCPServer::recordStopTool() {
    std::optional<Flow> flow = co_await session_->recordStop();
    if (!flow) throw ToolError::notRecording();
    const std::string json = flow->encoded();
    FlowStore::Saved saved;
    try {
        saved = flowStore().save(*flow);
    } catch (const std::exception& error) {
        // The recording has ended all the same: the agent gets the flow, so
        // that nothing recorded is lost.
        throw ToolFailure(error.what(),
                          flowItemList(textItem("The flow was not saved, but nothing recorded is lost: here it is as JSON, "
                                            "which run_flow takes as its flow argument.\n" +
                                            PageRendering::pageContent({json}))));
    }
    std::string text = "Recorded " + std::to_string(flow->steps.size()) + " steps. Saved as " + listedQuotedName(flow->name) +
                       " in " + tildePath(saved.file) + "; replay it with run_flow.\n" + PageRendering::pageContent({json});
    text += replacedText(saved.replacedName);
    co_return flowItemList(textItem(std::move(text)));
}

Json MCPServer::listFlowsTool() {
    FlowStore& store = flowStore();
    store.reload();
    const std::string folder = tildePath(store.directory());
    // File names are anyone's: they stay on their lines inside the wrapper.
    std::string skipped;
    if (!store.skipped().empty()) {
        PageRendering::Lines lines;
        for (const auto& file : store.skipped()) {
            lines.push_back(PageRendering::listedName(file.file.filename().string()) + " (" + file.reason + ")");
        }
        skipped = "\nThese files of the folder were skipped, each for the reason given:\n" +
                  PageRendering::pageContent(lines);
    }
    if (store.flows().empty()) return flowItemList(textItem("No saved flows in " + folder + "." + skipped));
    PageRendering::Lines lines;
    for (const auto& flow : store.flows()) {
        // A name is the file's: a line break in it must not start a line of its own.
        lines.push_back(PageRendering::listedName(flow.name) + " (" + std::to_string(flow.stepCount) + " steps)");
    }
    return flowItemList(textItem("Saved flows in " + folder + ":\n" + PageRendering::pageContent(lines) + skipped));
}

Task<Json> MCPServer::runFlowTool(Json arguments) {
    // Everything is checked before the profile is switched, since switching
    // blanks the page.
    std::optional<std::string> profile = stringArgument("profile", arguments);
    Flow flow;
    if (auto name = stringArgument("name", arguments)) {
        FlowStore& store = flowStore();
        store.reload();
        auto saved = store.flowNamed(*name);
        if (!saved) saved = flowShownAs(store, *name);
        if (!saved) throw ToolError::unknownFlow(*name);
        flow = std::move(*saved);
    } else {
        std::string text = requiredString("flow", arguments);
        try {
            flow = Flow::decoded(text);
        } catch (const FlowDecodingError& error) {
            throw ToolError::invalidFlow(error.what());
        }
    }
    std::int64_t from = 1;
    if (auto number = numberArgument("from", arguments)) {
        auto whole = wholeNumber(*number);
        const auto count = static_cast<std::int64_t>(flow.steps.size());
        if (!whole || *whole < 1 || *whole > count) throw ToolError::noSuchStep("from", count);
        from = *whole;
    }
    auto values = variablesArgument("variables", arguments);
    // Switched only once the flow and its start are known to be good, so that
    // a mistake does not blank the page.
    if (profile) co_await useProfile(*profile, false);

    FlowReport report = co_await runFlow(flow.name, flow.steps, from, std::move(values));
    Json items = flowItemList(textItem(PageRendering::flowReport(report, BrowserSession::redactionLimit)));
    for (const auto& result : report.steps) {
        if (!result.snapshot) continue;
        items.push_back(textItem("The page when the step failed:\n" +
                                 PageRendering::snapshot(session_->redactSnapshot(*result.snapshot), false)));
        break;
    }
    for (const auto& result : report.steps) {
        if (!result.screenshot) continue;
        Json image = Json::object();
        image["type"] = "image";
        image["data"] = pngItemData(*result.screenshot);
        image["mimeType"] = "image/png";
        items.push_back(std::move(image));
        break;
    }
    co_return items;
}

Task<FlowReport> MCPServer::runFlow(std::string name, std::vector<FlowStep> steps, std::int64_t from,
                                    std::map<std::string, std::string> values) {
    FlowSession& flows = session_->flowSession();
    const Duration limit = flows.stepTimeout() + commandTimeout_;
    // One mark for the whole replay: a waitForNoConsoleErrors step counts
    // the errors of every step before it, not only its own.
    const std::int64_t consoleMark = flows.consoleErrorCount();
    FlowReport report{name, {}};
    bool stopped = false;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const FlowStep& step = steps[i];
        if (static_cast<std::int64_t>(i) + 1 < from || stopped) {
            report.steps.push_back(StepResult::skipped(step));
            continue;
        }
        // The person who took control stops the agent's flow before its next
        // step; the step already running goes on.
        if (*activity_.isPaused) {
            StepResult paused;
            paused.step = step;
            paused.status = StepResult::Status::failed(pausedText);
            report.steps.push_back(std::move(paused));
            stopped = true;
            continue;
        }
        const std::int64_t mark = flows.networkEnded();
        const std::string raw(FlowStep::toRaw(step.action));
        const std::string label = "The " + raw + " step";
        const bool acting = actingTools().contains(raw);
        try {
            auto results = co_await race([&] { return replayStep(name, step, values, consoleMark); },
                                         [&] { return stepTimer(label, limit, acting); });
            for (auto& result : results) report.steps.push_back(std::move(result));
        } catch (...) {
            StepResult failed;
            failed.step = step;
            failed.status = StepResult::Status::failed(FlowRunner::failureMessage(std::current_exception(), mark, flows));
            failed.duration = limit;
            report.steps.push_back(std::move(failed));
        }
        stopped = report.steps.back().status.kind() != StepResult::Status::Kind::passed;
    }
    co_return report;
}

Task<std::vector<StepResult>> MCPServer::replayStep(std::string name, FlowStep step,
                                                    std::map<std::string, std::string> values, std::int64_t consoleMark) {
    Flow one{std::move(name), {std::move(step)}};
    FlowReport report = co_await FlowRunner{}.run(std::move(one), session_->flowSession(), std::move(values), consoleMark);
    co_return std::move(report.steps);
}

Task<std::vector<StepResult>> MCPServer::stepTimer(std::string label, Duration limit, bool acting) {
    co_await sleepFor(limit);
    std::string waitingFor = session_->waitingFor().value_or(flowNothingToAnswer);
    throw ToolError::tookTooLong(label, limit, waitingFor, acting);
}

Json MCPServer::repairFlowTool(const Json& arguments) {
    std::string name = requiredString("name", arguments);
    FlowStore& store = flowStore();
    store.reload();
    auto flow = store.flowNamed(name);
    if (!flow) throw ToolError::unknownFlow(name);
    const auto count = static_cast<std::int64_t>(flow->steps.size());

    auto stepNumber = numberArgument("step", arguments);
    if (!stepNumber) throw ToolError::missingArgument("step");
    auto step = wholeNumber(*stepNumber);
    if (!step) throw ToolError::noSuchStep("step", count);
    std::int64_t index = 0;
    if (auto number = numberArgument("index", arguments)) {
        auto whole = wholeNumber(*number);
        if (!whole || *whole < 0) throw ToolError::invalidIndex();
        index = *whole;
    }
    Locator locator;
    locator.role = requiredString("role", arguments);
    locator.name = requiredString("element_name", arguments);
    locator.index = index;
    locator.selector = stringArgument("selector", arguments);

    Flow repaired = flow->replacingTarget(*step, locator);
    FlowStore::Repaired saved = store.saveRepaired(repaired);
    const auto& oldTarget = flow->steps[static_cast<std::size_t>(*step - 1)].target;
    const std::string old = oldTarget ? locatorText(*oldTarget) : "";

    // The names of the flow and of both elements were chosen by a person or a
    // page: they stay inside the page-content wrapper.
    const std::string number = std::to_string(*step);
    PageRendering::Lines lines{PageRendering::oneLine("Step " + number + " of " + listedQuotedName(name) + ": " + old +
                                                      " -> " + locatorText(locator) + ".")};
    if (saved.copy) {
        lines.push_back(PageRendering::oneLine("The original was left as recorded; the repair is the flow " +
                                               listedQuotedName(name + " (repaired)") + "."));
    }
    return flowItemList(textItem(PageRendering::pageContent(lines) + "\nSaved in " + tildePath(saved.file) +
                             ". Check it with run_flow, and continue with from: " + number +
                             " only if the step had failed finding its element." + replacedText(saved.replacedName)));
}

} // namespace vesk
