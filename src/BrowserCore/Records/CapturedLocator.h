#pragma once

// The page agent's description of an element, good for finding it again on a
// later visit: its locator, and whether it is a password field. The reply of
// "locator" and the target of an action of the person.

#include "BrowserCore/FlowModel/Locator.h"

#include <nlohmann/json.hpp>

#include <string>

namespace vesk {

struct CapturedLocator {
    Locator locator;
    bool secret = false;

    // One flat object with the locator's keys and "secret"; other keys are
    // ignored. Throws RecordDecodingError or FlowDecodingError naming the key;
    // `path` names the object in those messages.
    static CapturedLocator decode(const nlohmann::json& json, const std::string& path = {});
};

} // namespace vesk
