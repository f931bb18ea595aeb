#pragma once

#include <nlohmann/json.hpp>

namespace vesk {

// The agent server's JSON: keys keep the order in which they were written,
// so replies read the way they were built.
using Json = nlohmann::ordered_json;

} // namespace vesk
