#include "BrowserCore/PageAgent/ScriptMessageBody.h"

#include "Platform/Text.h"

#include <glib.h>

#include <cmath>
#include <cstdint>
#include <string>

namespace vesk {

namespace {

// Message bodies are small flat objects; anything nested deeper or larger is
// no body of ours. The bounds keep a cyclic or fanned-out object that a page
// posts from recursing forever or growing without end.
constexpr int depthLimit = 16;
constexpr int valueLimit = 10000;

// Reads the strings of one message whole. The UTF-8 conversion stops at a
// lone surrogate half and a C string at a zero byte, and a page's text may
// hold either: each text is made well-formed in the message's own context
// (the one it was read into, which no page script reaches), with U+FFFD in
// place of both.
class StringReader {
public:
    ~StringReader() {
        if (wellFormed_) g_object_unref(wellFormed_);
    }

    std::string operator()(JSCValue* value) {
        if (!wellFormed_) wellFormed_ = jsc_context_evaluate(jsc_value_get_context(value), "(text) => text.toWellFormed()", -1);
        JSCValue* whole = jsc_value_function_call(wellFormed_, JSC_TYPE_VALUE, value, G_TYPE_NONE);
        std::string text;
        if (GBytes* bytes = whole && jsc_value_is_string(whole) ? jsc_value_to_string_as_bytes(whole) : nullptr) {
            gsize size = 0;
            const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
            for (gsize i = 0; i < size; ++i) {
                if (data[i] == '\0') text += "\uFFFD";
                else text += data[i];
            }
            g_bytes_unref(bytes);
        }
        if (whole) g_object_unref(whole);
        return text::validUtf8(text);
    }

private:
    JSCValue* wellFormed_ = nullptr;
};

nlohmann::json convert(JSCValue* value, int depth, int& budget, StringReader& stringOf) {
    if (budget <= 0) return nullptr;
    --budget;
    if (!value || jsc_value_is_undefined(value) || jsc_value_is_null(value)) return nullptr;
    if (jsc_value_is_boolean(value)) return static_cast<bool>(jsc_value_to_boolean(value));
    if (jsc_value_is_number(value)) {
        double number = jsc_value_to_double(value);
        if (!std::isfinite(number)) return nullptr;
        // 2^63 is exact as a double; integral values inside the range stay integers.
        if (std::trunc(number) == number && number >= -9223372036854775808.0 && number < 9223372036854775808.0) {
            return static_cast<std::int64_t>(number);
        }
        return number;
    }
    if (jsc_value_is_string(value)) return stringOf(value);
    if (depth >= depthLimit || jsc_value_is_function(value)) return nullptr;
    if (jsc_value_is_array(value)) {
        nlohmann::json array = nlohmann::json::array();
        JSCValue* lengthValue = jsc_value_object_get_property(value, "length");
        double length = jsc_value_to_double(lengthValue);
        g_object_unref(lengthValue);
        for (guint i = 0; i < length && budget > 0; ++i) {
            JSCValue* item = jsc_value_object_get_property_at_index(value, i);
            array.push_back(convert(item, depth + 1, budget, stringOf));
            g_object_unref(item);
        }
        return array;
    }
    if (jsc_value_is_object(value)) {
        nlohmann::json object = nlohmann::json::object();
        gchar** names = jsc_value_object_enumerate_properties(value);
        for (gchar** name = names; name && *name && budget > 0; ++name) {
            JSCValue* property = jsc_value_object_get_property(value, *name);
            object[text::validUtf8(*name)] = convert(property, depth + 1, budget, stringOf);
            g_object_unref(property);
        }
        g_strfreev(names);
        return object;
    }
    return nullptr;
}

} // namespace

nlohmann::json scriptMessageBody(JSCValue* value) {
    int budget = valueLimit;
    StringReader strings;
    return convert(value, 0, budget, strings);
}

} // namespace vesk
