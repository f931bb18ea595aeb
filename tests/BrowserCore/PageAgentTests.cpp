// The page agent on a real web view: installed as the session installs it (at
// document start, in every frame, in the world "Vesk", with its "person" and
// "frame" channels in that world) and called as the bridge calls it, with the
// command and its arguments handed over as a GVariant.

#include "Support/BrowserCoreResource.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"
#include "Support/WebViewHarness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace vesk;
using namespace vesk::test;
using nlohmann::json;

namespace {

constexpr const char* world = "Vesk";

GVariant* toVariant(const json& value) {
    switch (value.type()) {
    case json::value_t::object: {
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
        for (const auto& [key, item] : value.items()) g_variant_builder_add(&builder, "{sv}", key.c_str(), toVariant(item));
        return g_variant_builder_end(&builder);
    }
    case json::value_t::array: {
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE("av"));
        for (const auto& item : value) g_variant_builder_add(&builder, "v", toVariant(item));
        return g_variant_builder_end(&builder);
    }
    case json::value_t::string:
        return g_variant_new_string(value.get<std::string>().c_str());
    case json::value_t::boolean:
        return g_variant_new_boolean(value.get<bool>());
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
        return g_variant_new_int64(value.get<gint64>());
    case json::value_t::number_float:
        return g_variant_new_double(value.get<double>());
    default:
        return g_variant_new_string("");
    }
}

class PageAgent : public testing::Test {
protected:
    void SetUp() override {
        if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
        harness = std::make_unique<WebViewHarness>();
        harness->addScript(browserCoreResource("agent.js"), true, world);
        harness->onMessage("person", world, [this](JSCValue* body) {
            if (jsc_value_is_string(body)) {
                char* text = jsc_value_to_string(body);
                person.push_back(json::parse(text));
                g_free(text);
            }
        });
        harness->onMessage("frame", world, [this](JSCValue* body) {
            char* text = jsc_value_to_string(body);
            frames.push_back(text);
            g_free(text);
        });
    }

    void open(const std::string& path, const std::string& html) {
        server.serve(path, html);
        ASSERT_TRUE(harness->load(server.url(path)));
    }

    // Sends a command as the bridge does and gives back the envelope.
    json call(const std::string& command, const json& args = json::object()) {
        struct Outcome {
            bool done = false;
            std::string text;
            std::string error;
        };
        auto outcome = std::make_shared<Outcome>();
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&builder, "{sv}", "command", g_variant_new_string(command.c_str()));
        g_variant_builder_add(&builder, "{sv}", "args", toVariant(args));
        webkit_web_view_call_async_javascript_function(
            harness->view(), "return __agent.call(command, args)", -1, g_variant_builder_end(&builder), world, nullptr,
            nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                std::unique_ptr<std::shared_ptr<Outcome>> holder(static_cast<std::shared_ptr<Outcome>*>(data));
                Outcome& o = **holder;
                GError* error = nullptr;
                JSCValue* value =
                    webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source), result, &error);
                if (error) {
                    o.error = error->message;
                    g_error_free(error);
                } else if (jsc_value_is_string(value)) {
                    char* text = jsc_value_to_string(value);
                    o.text = text;
                    g_free(text);
                } else {
                    o.error = "the agent answered something other than a text";
                }
                if (value) g_object_unref(value);
                o.done = true;
            },
            new std::shared_ptr<Outcome>(outcome));
        if (!spinUntil([&] { return outcome->done; })) throw std::runtime_error("the agent did not answer");
        if (!outcome->error.empty()) throw std::runtime_error(outcome->error);
        return json::parse(outcome->text);
    }

    // The value of a command that must succeed.
    json value(const std::string& command, const json& args = json::object()) {
        json reply = call(command, args);
        EXPECT_EQ(reply["ok"], true) << command << " failed: " << reply.dump();
        return reply.contains("value") ? reply["value"] : json();
    }

    json scan(int floor = 0) { return value("scan", {{"floor", floor}}); }

    // Runs script in the page's own world.
    json page(const std::string& body) { return harness->call(body); }

    static const json* element(const json& snapshot, const std::string& role, const std::string& name) {
        for (const auto& e : snapshot["elements"]) {
            if (e["role"] == role && e["name"] == name) return &e;
        }
        return nullptr;
    }

    static std::string ref(const json& snapshot, const std::string& role, const std::string& name) {
        const json* e = element(snapshot, role, name);
        if (!e) throw std::runtime_error("no " + role + " \"" + name + "\" in " + snapshot["elements"].dump());
        return (*e)["ref"];
    }

    static std::set<std::string> names(const json& snapshot) {
        std::set<std::string> out;
        for (const auto& e : snapshot["elements"]) out.insert(e["role"].get<std::string>() + " " + e["name"].get<std::string>());
        return out;
    }

    static bool onScreen(const json& snapshot, const std::string& r) {
        for (const auto& s : snapshot["onScreen"]) if (s == r) return true;
        return false;
    }

    LoopbackServer server;
    std::unique_ptr<WebViewHarness> harness;
    std::vector<json> person;
    std::vector<std::string> frames;
};

constexpr const char* srOnly =
    "<style>.sr-only{position:absolute;width:1px;height:1px;overflow:hidden;clip:rect(0 0 0 0);white-space:nowrap}</style>";

} // namespace

TEST_F(PageAgent, NamesFieldsByEveryLabellingTechnique) {
    open("/form", std::string(srOnly) + R"(
<title>Form</title>
<form>
  <label for=first>First name</label> <input id=first required>
  <label>Last name <input id=last value="Doe"></label>
  <input type=email aria-label="Work email">
  <span id=l1>Phone</span> <span id=l2>(mobile)</span> <input type=tel aria-labelledby="l1 l2">
  <input type=search title="Search the site">
  <input placeholder="City">
  <input type=password aria-label="Password" value="hunter2">
  <fieldset><legend>Contact by</legend>
    <label><input type=radio name=c checked> Mail</label>
    <label><input type=radio name=c> Telephone</label>
  </fieldset>
  <label><input type=checkbox> I agree <span class=sr-only>to the terms</span></label>
  <label for=country>Country</label>
  <select id=country><option value="">Choose one</option><option>France</option><option>Germany</option></select>
  <label for=bio>Bio</label><textarea id=bio>Hello there</textarea>
  <button type=submit><svg aria-hidden=true width=10 height=10></svg> Send <span aria-hidden=true>&rarr;</span></button>
  <input type=submit value="Save draft" disabled>
  <a href="/help"><img alt="Help" width=20 height=20></a>
  <input type=image alt="Go" width=20 height=20>
  <input type=hidden value=secret>
  <input type=date aria-label="Birthday">
  <button aria-label="Close"><span aria-hidden=true>x</span></button>
  <figure><figcaption>Chart</figcaption></figure>
</form>)");
    json s = scan();
    if (getenv("DUMP")) std::cerr << s.dump(1) << std::endl;
    EXPECT_EQ(s["title"], "Form");
    std::set<std::string> expected = {
        "textbox First name", "textbox Last name", "textbox Work email", "textbox Phone (mobile)",
        "searchbox Search the site", "textbox City", "textbox Password", "radio Mail", "radio Telephone",
        "checkbox I agree to the terms", "combobox Country", "textbox Bio", "button Send", "button Save draft",
        "link Help", "button Go", "textbox Birthday", "button Close",
    };
    EXPECT_EQ(names(s), expected);

    const json& first = *element(s, "textbox", "First name");
    EXPECT_EQ(first["tag"], "input");
    EXPECT_EQ(first["required"], true);
    EXPECT_FALSE(first.contains("value"));
    EXPECT_EQ((*element(s, "textbox", "Last name"))["value"], "Doe");
    EXPECT_EQ((*element(s, "textbox", "Work email"))["type"], "email");
    const json& password = *element(s, "textbox", "Password");
    EXPECT_EQ(password["type"], "password");
    EXPECT_EQ(password["value"], "\u2022\u2022\u2022\u2022\u2022\u2022\u2022") << "a password shows as dots";
    const json& mail = *element(s, "radio", "Mail");
    EXPECT_EQ(mail["checked"], true);
    EXPECT_EQ(mail["context"], "Contact by");
    EXPECT_EQ((*element(s, "radio", "Telephone"))["checked"], false);
    const json& country = *element(s, "combobox", "Country");
    EXPECT_EQ(country["tag"], "select");
    EXPECT_EQ(country["value"], "Choose one");
    EXPECT_EQ(country["options"], "Choose one | France | Germany");
    EXPECT_EQ((*element(s, "textbox", "Bio"))["value"], "Hello there");
    EXPECT_EQ((*element(s, "button", "Save draft"))["disabled"], true);
    EXPECT_FALSE(element(s, "button", "Send")->contains("disabled"));
    EXPECT_EQ((*element(s, "link", "Help"))["href"], server.url("/help"));
    EXPECT_EQ((*element(s, "textbox", "Birthday"))["type"], "date");

    std::string text = s["text"];
    EXPECT_NE(text.find("First name"), std::string::npos);
    EXPECT_NE(text.find("Contact by"), std::string::npos);
    EXPECT_EQ(text.find("to the terms"), std::string::npos) << "text hidden from sight is not page text";
    EXPECT_EQ(text.find("Hello there"), std::string::npos) << "a field's value is not page text";
    EXPECT_EQ(s["onScreen"].size(), s["elements"].size());
    EXPECT_EQ(s["loadedFrom"], server.url("/form"));
    EXPECT_EQ(s["url"], server.url("/form"));
}
