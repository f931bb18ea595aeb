#pragma once

// The ${NAME} references of a step's value replaced by the values chosen for
// the step.

#include <map>
#include <string>
#include <string_view>

namespace vesk {

// Every reference ("${NAME}" or "${NAME.field}") replaced by its value in one
// pass over the text: a value is put in as it is, never read again for
// references of its own. Throws FlowError::missingVariable with the first
// reference, in order of appearance, that `values` lacks; nothing is
// replaced then. A text without references comes back unchanged.
std::string substitutedStepValue(std::string_view text, const std::map<std::string, std::string>& values);

} // namespace vesk
