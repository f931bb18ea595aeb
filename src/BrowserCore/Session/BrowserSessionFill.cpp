// Filling a field with the agent's text, its ${NAME} references replaced by
// the values of the element's own site; the agent never sees those values.

#include "BrowserCore/Secrets/FillReferences.h"
#include "BrowserCore/Secrets/KeptStarts.h"
#include "BrowserCore/Secrets/SiteKey.h"
#include "BrowserCore/Secrets/SiteValues.h"
#include "BrowserCore/Secrets/VariableNames.h"
#include "BrowserCore/Session/BrowserSession.h"

namespace vesk {

namespace {

// Made outside the coroutine: GCC 12 cannot keep a braced JSON literal in a
// coroutine frame.
nlohmann::json fillArguments(const std::string& ref, const std::string& value) {
    return nlohmann::json{{"ref", ref}, {"value", value}};
}

nlohmann::json fillRefArguments(const std::string& ref) {
    return nlohmann::json{{"ref", ref}};
}

std::string decodeOrigin(const nlohmann::json& value) {
    return value.get<std::string>();
}

// The page agent reports at most this many other fields; more are not read.
constexpr std::size_t maxCopiesRead = 16;

} // namespace

// A field may keep only a start of what was typed (maxlength, a script that
// trims it), and the page may show that start anywhere: from now on each
// start a field really kept is hidden as the whole value is. The page agent
// answers what the field holds, and what the other fields of the document
// that changed meanwhile hold (a page that copies the field elsewhere).
void BrowserSession::keepStarts(std::string_view written, const std::map<std::string, std::string>& values,
                                const nlohmann::json& reply) {
    if (!reply.is_object()) return;
    std::vector<std::string> held;
    if (auto field = reply.find("held"); field != reply.end() && field->is_string()) held.push_back(*field);
    if (auto copies = reply.find("copies"); copies != reply.end() && copies->is_array()) {
        for (std::size_t i = 0; i < copies->size() && i < maxCopiesRead; ++i) {
            if ((*copies)[i].is_string()) held.push_back((*copies)[i]);
        }
    }
    bool added = false;
    for (const auto& value : held) {
        for (auto& start : startsKept(written, values, value)) added = keptStarts.add(std::move(start)) || added;
    }
    if (added) rebuildRedaction();
}

Task<ActionResult> BrowserSession::fill(std::string ref, std::string text, std::map<std::string, std::string> extra) {
    auto keep = shared_from_this();
    nlohmann::json arguments = fillArguments(ref, text);
    ReplyHandler onReply;
    if (!variableNames(text).empty()) {
        // The site is that of the element's own document as its page agent
        // reads it now, not the web view's address, which names a page still
        // loading as soon as it starts. An opaque origin ("null": about:blank,
        // data:, a sandboxed frame) has no site and receives no values.
        std::string origin = co_await agentValue<std::string>("origin", fillRefArguments(ref), &decodeOrigin);
        auto site = siteKeyOfURL(origin);
        // Lookup, checks and substitution run in one piece, before anything
        // reaches the page or the recording: a refused reference types
        // nothing.
        auto values = site ? valuesForSite(*site, *variables, *otpKeys, now()) : std::map<std::string, std::string>{};
        for (auto& [name, value] : extra) values[name] = std::move(value);
        std::string typed = substitutedReferences(text, values, *variables, *otpKeys, site, *unreadableValues);
        onReply = [this, text, values = std::move(values)](const nlohmann::json& reply) {
            keepStarts(text, values, reply);
        };
        // A message about the field quotes the text as the agent wrote it.
        if (typed != text) arguments["written"] = text;
        arguments["value"] = std::move(typed);
        // The page agent types only into a document that still has this
        // origin: one that went to another site meanwhile gets nothing.
        arguments["origin"] = origin;
    }
    // While the field holds a start of the values typed, it shows the references.
    typedIntoFields.remember(ref, text, arguments["value"].get<std::string>());
    co_return co_await actAndRecord("fill", std::move(arguments), FlowStep::Action::fill, ref, std::move(text), true,
                                    std::move(onReply));
}

} // namespace vesk
