// Filling a field with the agent's text, its ${NAME} references replaced by
// the values of the element's own site; the agent never sees those values.

#include "BrowserCore/Secrets/FillReferences.h"
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

nlohmann::json refArguments(const std::string& ref) {
    return nlohmann::json{{"ref", ref}};
}

std::string decodeOrigin(const nlohmann::json& value) {
    return value.get<std::string>();
}

} // namespace

// A field may keep only a start of what was typed (maxlength), and the page
// may echo that start: from now on such starts are hidden as the whole
// values are. One-time codes are hidden as codes.
void BrowserSession::rememberTyped(std::string_view text, const std::map<std::string, std::string>& values) {
    bool added = false;
    for (const auto& name : variableNames(text)) {
        if (!name.ends_with(".otp") && values.contains(name)) added = typedNames.insert(name).second || added;
    }
    if (added) rebuildRedaction();
}

Task<ActionResult> BrowserSession::fill(std::string ref, std::string text, std::map<std::string, std::string> extra) {
    auto keep = shared_from_this();
    nlohmann::json arguments = fillArguments(ref, text);
    if (!variableNames(text).empty()) {
        // The site is that of the element's own document as its page agent
        // reads it now, not the web view's address, which names a page still
        // loading as soon as it starts. An opaque origin ("null": about:blank,
        // data:, a sandboxed frame) has no site and receives no values.
        std::string origin = co_await agentValue<std::string>("origin", refArguments(ref), &decodeOrigin);
        auto site = siteKeyOfURL(origin);
        // Lookup, checks and substitution run in one piece, before anything
        // reaches the page or the recording: a refused reference types
        // nothing.
        auto values = site ? valuesForSite(*site, *variables, *otpKeys, now()) : std::map<std::string, std::string>{};
        for (auto& [name, value] : extra) values[name] = std::move(value);
        std::string typed = substitutedReferences(text, values, *variables, *otpKeys, site, *unreadableValues);
        rememberTyped(text, values);
        // A message about the field quotes the text as the agent wrote it.
        if (typed != text) arguments["written"] = text;
        arguments["value"] = std::move(typed);
        // The page agent types only into a document that still has this
        // origin: one that went to another site meanwhile gets nothing.
        arguments["origin"] = origin;
    }
    // While the field holds a start of the values typed, it shows the references.
    typedIntoFields.remember(ref, text, arguments["value"].get<std::string>());
    co_return co_await actAndRecord("fill", std::move(arguments), FlowStep::Action::fill, ref, std::move(text), true);
}

} // namespace vesk
