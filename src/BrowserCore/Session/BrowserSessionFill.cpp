// Filling a field with the agent's text, its ${NAME} references replaced by
// the values of the element's own site; the agent never sees those values.

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserCore/Secrets/FillReferences.h"

namespace vesk {

namespace {

// Made outside the coroutine: GCC 12 cannot keep a braced JSON literal in a
// coroutine frame.
nlohmann::json fillArguments(const std::string& ref, const std::string& value) {
    return nlohmann::json{{"ref", ref}, {"value", value}};
}

} // namespace

Task<ActionResult> BrowserSession::fill(std::string ref, std::string text, std::map<std::string, std::string> extra) {
    auto keep = shared_from_this();
    // Lookup, checks and substitution run before the first suspension and
    // before anything reaches the page or the recording: a refused reference
    // types nothing.
    auto values = siteValues(ref);
    for (auto& [name, value] : extra) values[name] = std::move(value);
    std::string typed = substitutedReferences(text, values, *variables, *otpKeys, siteForRef(ref));
    co_return co_await actAndRecord("fill", fillArguments(ref, typed), FlowStep::Action::fill, ref, std::move(text),
                                    true);
}

} // namespace vesk
