#include "BrowserCore/Records/PersonAction.h"

#include "BrowserCore/Records/JsonFields.h"

namespace vesk {

PersonAction PersonAction::decode(const nlohmann::json& json) {
    json_fields::Reader<nlohmann::json> reader(json, "");
    PersonAction action;
    std::string word = reader.text("action");
    auto known = FlowStep::actionFromRaw(word);
    if (!known) throw RecordDecodingError("action is not a step action: " + word);
    action.action = *known;
    if (const auto* target = reader.optional("target")) action.target = CapturedLocator::decode(*target, "target");
    action.value = reader.optionalText("value");
    action.trusted = reader.boolean("trusted");
    return action;
}

PersonAction PersonAction::decoded(std::string_view text) {
    nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded()) throw RecordDecodingError("the text is not JSON");
    return decode(json);
}

} // namespace vesk
