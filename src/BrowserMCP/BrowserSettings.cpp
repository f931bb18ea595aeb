#include "BrowserMCP/BrowserSettings.h"

#include "BrowserCore/Session/BrowserSession.h"
#include "BrowserMCP/AgentActivity.h"
#include "BrowserMCP/Json.h"
#include "BrowserMCP/MCPServer.h"
#include "Platform/Clock.h"
#include "Platform/JsonNesting.h"

#include <algorithm>
#include <cmath>

namespace vesk {

namespace {

using Timings = BrowserSettings::Timings;

struct Field {
    const char* key;
    double Timings::*member;
    double lowest;
    double highest;
};

// Field order is the order of the stored JSON.
constexpr Field fields[] = {
    {"settleQuiet", &Timings::settleQuiet, 0, 5},
    {"settleTimeout", &Timings::settleTimeout, 0.5, 60},
    {"navigationTimeout", &Timings::navigationTimeout, 1, 300},
    {"stepTimeout", &Timings::stepTimeout, 0.5, 120},
    {"runPause", &Timings::runPause, 5, 3600},
    {"commandTimeout", &Timings::commandTimeout, 1, 900},
};

} // namespace

Timings Timings::clamped() const {
    const Timings defaults;
    Timings result = *this;
    for (const auto& field : fields) {
        double& value = result.*field.member;
        if (!std::isfinite(value)) {
            value = defaults.*field.member;
        } else {
            value = std::min(std::max(value, field.lowest), field.highest);
        }
    }
    return result;
}

std::optional<Timings> Timings::decode(std::string_view json) {
    if (jsonNestsDeeperThan(json)) return std::nullopt;
    Json object = Json::parse(json, nullptr, /*allow_exceptions=*/false);
    if (object.is_discarded() || !object.is_object()) return std::nullopt;
    Timings result;
    for (const auto& field : fields) {
        auto found = object.find(field.key);
        if (found == object.end() || found->is_null()) continue;
        if (!found->is_number()) return std::nullopt;
        result.*field.member = found->get<double>();
    }
    return result;
}

std::string Timings::encoded() const {
    Json object = Json::object();
    for (const auto& field : fields) object[field.key] = this->*field.member;
    return object.dump();
}

BrowserSettings::BrowserSettings(UserDefaults& defaults) : defaults_(defaults) {
    Timings stored;
    if (auto text = defaults_.string(defaultsKey)) {
        if (auto decoded = Timings::decode(*text)) stored = *decoded;
    }
    // What is stored stays as it is until the next change, even when out of range.
    timings_.set(stored.clamped());
}

void BrowserSettings::setTimings(Timings value) {
    Timings clamped = value.clamped();
    if (clamped == timings_.get()) {
        // A refused value was on show somewhere: tell the observers that the old one stands.
        if (value != clamped) timings_.announce(clamped);
        return;
    }
    timings_.set(clamped);
    defaults_.setString(defaultsKey, clamped.encoded());
    push();
}

void BrowserSettings::attach(std::weak_ptr<BrowserSession> session, AgentActivity* activity, MCPServer* server) {
    session_ = std::move(session);
    activity_ = activity;
    server_ = server;
    push();
}

void BrowserSettings::push() {
    const Timings& timings = timings_.get();
    if (auto session = session_.lock()) {
        // Four separate changes, as each of them is a change of the options of its own.
        session->options.modify([&](BrowserSession::Options& options) { options.settleQuiet = seconds(timings.settleQuiet); });
        session->options.modify([&](BrowserSession::Options& options) { options.settleTimeout = seconds(timings.settleTimeout); });
        session->options.modify(
            [&](BrowserSession::Options& options) { options.navigationTimeout = seconds(timings.navigationTimeout); });
        session->options.modify([&](BrowserSession::Options& options) { options.stepTimeout = seconds(timings.stepTimeout); });
    }
    if (activity_) activity_->runPause.set(timings.runPause);
    if (server_) server_->setCommandTimeout(seconds(timings.commandTimeout));
}

} // namespace vesk
