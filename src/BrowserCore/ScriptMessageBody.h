#pragma once

#include <jsc/jsc.h>
#include <nlohmann/json.hpp>

namespace vesk {

// The JSON form of a script message body: null, booleans, numbers (integral
// ones as JSON integers), strings (invalid UTF-16 repaired), arrays and plain
// objects with their own enumerable properties. Values without a JSON form
// (undefined, functions, symbols) become null, and nesting deeper than a
// message ever needs is cut off as null, so no body can make it loop.
nlohmann::json scriptMessageBody(JSCValue* value);

} // namespace vesk
