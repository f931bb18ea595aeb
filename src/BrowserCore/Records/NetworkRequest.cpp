#include "BrowserCore/Records/NetworkRequest.h"

#include "BrowserCore/Records/JsonFields.h"
#include "BrowserCore/Records/SameText.h"

namespace vesk {

bool NetworkRequest::failed() const { return !status || *status > 399; }

bool NetworkRequest::operator==(const NetworkRequest& other) const {
    return sameText(method, other.method) && sameText(url, other.url) && status == other.status &&
           sameOptionalText(error, other.error) && milliseconds == other.milliseconds && sameOptionalText(window, other.window);
}

namespace {

template <typename Json>
void encode(Json& json, const NetworkRequest& request) {
    json = Json::object();
    json["method"] = request.method;
    json["url"] = request.url;
    json_fields::putOptional(json, "status", request.status);
    json_fields::putOptional(json, "error", request.error);
    json["milliseconds"] = request.milliseconds;
    json_fields::putOptional(json, "window", request.window);
}

} // namespace

template <typename Json>
NetworkRequest json_fields::decodeNetworkRequest(const Json& json, const std::string& path) {
    json_fields::Reader<Json> read(json, path);
    NetworkRequest decoded;
    decoded.method = read.text("method");
    decoded.url = read.text("url");
    decoded.status = read.template optionalInteger<int>("status");
    decoded.error = read.optionalText("error");
    decoded.milliseconds = read.template integer<std::int64_t>("milliseconds");
    decoded.window = read.optionalText("window");
    return decoded;
}

template NetworkRequest json_fields::decodeNetworkRequest(const nlohmann::json&, const std::string&);
template NetworkRequest json_fields::decodeNetworkRequest(const nlohmann::ordered_json&, const std::string&);

void to_json(nlohmann::json& json, const NetworkRequest& request) { encode(json, request); }
void to_json(nlohmann::ordered_json& json, const NetworkRequest& request) { encode(json, request); }
void from_json(const nlohmann::json& json, NetworkRequest& request) {
    request = json_fields::decodeNetworkRequest(json, std::string());
}
void from_json(const nlohmann::ordered_json& json, NetworkRequest& request) {
    request = json_fields::decodeNetworkRequest(json, std::string());
}

} // namespace vesk
