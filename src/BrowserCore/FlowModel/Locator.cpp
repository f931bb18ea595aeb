#include "BrowserCore/FlowModel/Locator.h"

#include "BrowserCore/FlowModel/FlowDecoding.h"

#include <nlohmann/json.hpp>

namespace vesk {

nlohmann::json Locator::toJSON() const {
    nlohmann::json object = {{"role", role}, {"name", name}, {"index", index}};
    if (selector) object["selector"] = *selector;
    return object;
}

Locator Locator::fromJSON(const nlohmann::json& object, const std::string& path) {
    using namespace flowdecoding;
    expectObject(object, path);
    Locator locator;
    locator.role = requiredString(object, "role", path);
    locator.name = requiredString(object, "name", path);
    locator.index = integer(requiredMember(object, "index", path), fieldPath(path, "index"));
    locator.selector = optionalString(object, "selector", path);
    return locator;
}

Locator Locator::decoded(std::string_view bytes) {
    return fromJSON(flowdecoding::parse(bytes));
}

} // namespace vesk
