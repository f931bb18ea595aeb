#pragma once

#include <jsc/jsc.h>
#include <nlohmann/json.hpp>

namespace vesk {

// The JSON form of a script message body: null, booleans, numbers (integral
// ones as JSON integers), strings (invalid UTF-16 repaired), arrays and plain
// objects with their enumerable properties. Values without a JSON form
// (undefined, functions, symbols, NaN) become null, and nesting or size
// beyond what a message ever needs is cut off, so no body can make it loop.
nlohmann::json scriptMessageBody(JSCValue* value);

} // namespace vesk
