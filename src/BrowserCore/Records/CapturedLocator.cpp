#include "BrowserCore/Records/CapturedLocator.h"

#include "BrowserCore/Records/JsonFields.h"

namespace vesk {

CapturedLocator CapturedLocator::decode(const nlohmann::json& json, const std::string& path) {
    json_fields::Reader<nlohmann::json> reader(json, path);
    CapturedLocator captured;
    captured.locator = Locator::fromJSON(json, path);
    captured.secret = reader.boolean("secret");
    return captured;
}

} // namespace vesk
