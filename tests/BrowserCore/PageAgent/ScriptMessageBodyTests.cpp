#include "BrowserCore/PageAgent/ScriptMessageBody.h"

#include <gtest/gtest.h>

using namespace vesk;
using nlohmann::json;

namespace {

// Evaluates an expression in a bare JavaScriptCore context (no display needed).
json bodyOf(const char* expression) {
    JSCContext* context = jsc_context_new();
    JSCValue* value = jsc_context_evaluate(context, expression, -1);
    json body = scriptMessageBody(value);
    g_object_unref(value);
    g_object_unref(context);
    return body;
}

} // namespace

TEST(ScriptMessageBody, KeepsTheShapeOfAMessage) {
    auto body = bodyOf("({method: 'GET', ms: 12, status: null, error: undefined, ok: true, ratio: 1.5,"
                       " list: [1, 'two', [3]], nested: {a: {b: 'c'}}})");
    EXPECT_EQ(body, json::parse(R"({"method": "GET", "ms": 12, "status": null, "error": null, "ok": true,
                                   "ratio": 1.5, "list": [1, "two", [3]], "nested": {"a": {"b": "c"}}})"));
    EXPECT_TRUE(body["ms"].is_number_integer());
    EXPECT_EQ(bodyOf("'text'"), "text");
    EXPECT_EQ(bodyOf("undefined"), nullptr);
    EXPECT_EQ(bodyOf("(() => 1)"), nullptr);
    EXPECT_EQ(bodyOf("({n: NaN, big: 1e300})"), json::parse(R"({"n": null, "big": 1e300})"));
}

TEST(ScriptMessageBody, CyclesAndBrokenTextStayBounded) {
    auto cyclic = bodyOf("(() => { const o = {name: 'loop'}; o.self = o; return o; })()");
    EXPECT_EQ(cyclic["name"], "loop");
    EXPECT_TRUE(cyclic["self"]["self"].is_object());
    // Three ways out of every level would be 3^16 values without a bound.
    auto fanned = bodyOf("(() => { const o = {}; o.a = o; o.b = o; o.c = o; return o; })()");
    EXPECT_LE(fanned.dump().size(), 200000u);
    // Lone surrogate halves and zero bytes do not cut the text short.
    EXPECT_EQ(bodyOf("'\\uDC00a\\u0000b\\uD83Dc\\uD83D\\uDE00'"), "\uFFFDa\uFFFDb\uFFFDc\U0001F600");
}
