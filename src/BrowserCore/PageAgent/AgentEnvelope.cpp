#include "BrowserCore/PageAgent/AgentEnvelope.h"

#include "BrowserCore/Errors/BrowserError.h"

#include <stdexcept>

namespace vesk {

namespace {

using nlohmann::json;

struct Envelope {
    bool ok = false;
    std::optional<json> value;
    std::optional<std::string> code;
    std::optional<std::string> message;
};

std::optional<std::string> optionalText(const json& object, const char* key) {
    auto found = object.find(key);
    if (found == object.end() || found->is_null()) return std::nullopt;
    if (!found->is_string()) throw std::runtime_error(std::string("\"") + key + "\" is not a string");
    return found->get<std::string>();
}

Envelope decodeEnvelope(const std::string& text) {
    json object = json::parse(text);
    if (!object.is_object()) throw std::runtime_error("the reply is not a JSON object");
    auto ok = object.find("ok");
    if (ok == object.end()) throw std::runtime_error("the key \"ok\" is missing");
    if (!ok->is_boolean()) throw std::runtime_error("\"ok\" is not a boolean");
    Envelope envelope;
    envelope.ok = ok->get<bool>();
    if (auto value = object.find("value"); value != object.end() && !value->is_null()) envelope.value = *value;
    envelope.code = optionalText(object, "code");
    envelope.message = optionalText(object, "message");
    return envelope;
}

} // namespace

void throwUnexpectedShape(const std::string& command, const std::string& problem) {
    throw BrowserError::script(command + " returned an unexpected shape: " + problem);
}

std::optional<json> openEnvelope(const std::string& command, const std::optional<std::string>& reply) {
    if (!reply) throw BrowserError::script(command + " returned no envelope");
    Envelope envelope;
    try {
        envelope = decodeEnvelope(*reply);
    } catch (const std::exception& error) {
        throwUnexpectedShape(command, error.what());
    }
    if (!envelope.ok) {
        // An empty message says no more than no message at all.
        std::string message = envelope.message && !envelope.message->empty() ? *envelope.message : command + " failed";
        if (envelope.code) {
            // A fill refused because its document went to another site.
            if (*envelope.code == "site_changed") throw BrowserError::siteChanged();
            if (auto failure = BrowserError::elementFailureFromRaw(*envelope.code)) {
                throw BrowserError::element(*failure, message);
            }
        }
        throw BrowserError::script(message);
    }
    return envelope.value;
}

} // namespace vesk
