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
        if (!frameIdScript.empty()) harness->addScript(frameIdScript, true, world);
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
            frames.push_back(json::parse(text));
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

    // Stands in for the web process, which names each frame in the world
    // before the agent starts.
    std::string frameIdScript;
    LoopbackServer server;
    std::unique_ptr<WebViewHarness> harness;
    std::vector<json> person;
    std::vector<json> frames;  // {"id", "main", "origin"}
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

TEST_F(PageAgent, TellsRepeatedControlsApartAndKeepsTheirRefs) {
    open("/table", R"(<title>People</title>
<table>
  <tr><th>Name</th><th>Action</th></tr>
  <tr><td>Alice</td><td><button>Delete</button></td></tr>
  <tr><td>Bob</td><td><button>Delete</button></td></tr>
  <tr><td>Carol</td><td><button>Delete</button></td></tr>
</table>
<ul><li>Red shoes <button>Remove</button></li><li>Blue hat <button>Remove</button></li></ul>
<button id=add onclick="const r = document.querySelector('table').insertRow(); r.innerHTML = '<td>Dave</td><td><button>Delete</button></td>'">Add row</button>)");
    json first = scan(0);
    std::vector<std::string> contexts;
    for (const auto& e : first["elements"]) contexts.push_back(e.value("context", ""));
    EXPECT_EQ(contexts, (std::vector<std::string>{"Alice", "Bob", "Carol", "Red shoes", "Blue hat", ""}));
    EXPECT_EQ(first["elements"][0]["ref"], "e1");
    EXPECT_EQ(first["lastRef"], 6);

    // A later scan with a higher floor keeps every ref; only new elements
    // are numbered above the floor.
    json none = call("click", {{"ref", ref(first, "button", "Add row")}});
    EXPECT_EQ(none, json({{"ok", true}})) << "an action answers without a value";
    json second = scan(100);
    ASSERT_EQ(second["elements"].size(), 7u);
    for (std::size_t i = 0; i < 3; i++) EXPECT_EQ(second["elements"][i]["ref"], first["elements"][i]["ref"]);
    EXPECT_EQ(second["elements"][3]["ref"], "e101");
    EXPECT_EQ(second["elements"][3]["context"], "Dave");
    EXPECT_EQ(second["elements"][6]["ref"], first["elements"][5]["ref"]);
    EXPECT_EQ(second["lastRef"], 101);
    json third = scan(50);
    EXPECT_EQ(third["elements"], second["elements"]) << "an unchanged page gives the same elements";
    EXPECT_EQ(third["lastRef"], 101);

    // Locator and find describe an element by role, name and place.
    std::string bob = second["elements"][1]["ref"];
    json loc = value("locator", {{"ref", bob}});
    EXPECT_EQ(loc["role"], "button");
    EXPECT_EQ(loc["name"], "Delete");
    EXPECT_EQ(loc["index"], 1);
    EXPECT_EQ(loc["secret"], false);
    ASSERT_TRUE(loc.contains("selector"));
    EXPECT_EQ(page("return document.querySelectorAll(" + json(loc["selector"]).dump() + ").length"), 1);
    json found = value("find", {{"role", "button"}, {"name", "Delete"}, {"index", 1}, {"floor", 101}});
    EXPECT_EQ(found, json({{"ref", bob}, {"usedSelector", false}, {"lastRef", 101}}));

    // A renamed element is found by its selector, and says so.
    page("document.querySelectorAll('button')[1].textContent = 'Erase'");
    json bySelector = value("find", {{"role", "button"}, {"name", "Delete"}, {"index", 3}, {"floor", 101},
                                     {"selector", loc["selector"]}});
    EXPECT_EQ(bySelector["ref"], bob);
    EXPECT_EQ(bySelector["usedSelector"], true);

    json missing = call("find", {{"role", "button"}, {"name", "Delete"}, {"index", 5}, {"floor", 101}});
    EXPECT_EQ(missing["ok"], false);
    EXPECT_EQ(missing["code"], "not_found");
    EXPECT_EQ(missing["message"], "The page has 3 button \"Delete\", so there is no number 6 of them. "
                                  "Take a snapshot to see what the page has now.");
    json nothing = call("find", {{"role", "link"}, {"name", "Home"}, {"index", 0}, {"floor", 0}});
    EXPECT_EQ(nothing["code"], "not_found");
    EXPECT_EQ(nothing["message"], "No link \"Home\" is on the page. Take a snapshot to see what the page has now.");
}

TEST_F(PageAgent, ListsOnlyWhatAPersonCanSee) {
    open("/hidden", std::string(srOnly) + R"(<title>Hidden</title>
<button>Shown</button>
<button style="display:none">NoDisplay</button>
<button style="visibility:hidden">Invisible</button>
<button style="opacity:0">Transparent</button>
<div style="opacity:0"><button>InTransparent</button></div>
<button style="width:0;height:0;padding:0;border:0;overflow:hidden">Tiny</button>
<a href="#main" class=sr-only>Skip to content</a>
<button style="position:absolute;left:-9999px">OffLeft</button>
<div style="width:200px;height:40px;overflow:hidden"><div style="height:40px"></div><button>Clipped</button></div>
<details><summary>More</summary><button>InDetails</button></details>
<div hidden><a href="/x">InHidden</a></div>
<p hidden>Hidden text</p><p>Visible text</p>
<div style="display:contents">Contents text</div>
<div tabindex=0 style="overflow:auto;height:30px">Scrolling notes</div><pre tabindex=0>let code = 1;</pre>
<input type=checkbox id=fancy style="position:absolute;opacity:0"><label for=fancy>Fancy toggle</label>
<div id=scroller style="height:60px;overflow:auto"><div style="height:300px"></div><button>InScroller</button></div>
<div style="height:3000px"></div>
<button id=below>Below</button>)");
    json s = scan();
    EXPECT_EQ(names(s), (std::set<std::string>{"button Shown", "button More", "checkbox Fancy toggle",
                                               "button InScroller", "button Below"}));
    std::string text = s["text"];
    EXPECT_NE(text.find("Visible text"), std::string::npos);
    EXPECT_NE(text.find("Contents text"), std::string::npos) << "text of an element without a box of its own";
    EXPECT_NE(text.find("Scrolling notes\nlet code = 1;"), std::string::npos) << "focusable for the keyboard only: text, not controls";
    for (const char* hidden : {"Hidden text", "Skip to content", "NoDisplay", "Invisible", "Transparent", "OffLeft",
                               "Clipped", "InDetails", "InHidden"}) {
        EXPECT_EQ(text.find(hidden), std::string::npos) << hidden;
    }
    EXPECT_TRUE(onScreen(s, ref(s, "button", "Shown")));
    EXPECT_TRUE(onScreen(s, ref(s, "checkbox", "Fancy toggle")));
    EXPECT_FALSE(onScreen(s, ref(s, "button", "InScroller"))) << "scrolled out of its panel";
    EXPECT_FALSE(onScreen(s, ref(s, "button", "Below")));

    // A click brings an element below the fold into view first.
    std::string below = ref(s, "button", "Below");
    page("document.getElementById('below').onclick = () => document.title = 'below clicked'");
    value("click", {{"ref", below}});
    EXPECT_EQ(page("return document.title"), "below clicked");
    EXPECT_TRUE(onScreen(scan(), below));

    // The hidden checkbox is used through its label.
    value("click", {{"ref", ref(s, "checkbox", "Fancy toggle")}});
    EXPECT_EQ(page("return document.getElementById('fancy').checked"), true);

    // Opening the details shows what it holds.
    value("click", {{"ref", ref(s, "button", "More")}});
    EXPECT_TRUE(names(scan()).contains("button InDetails"));
}

TEST_F(PageAgent, ReportsAModalDialogAsACoverAndRefusesClicksBehindIt) {
    open("/modal", R"~(<title>Shop</title>
<button onclick="document.getElementById('d').showModal()">Open settings</button>
<button onclick="document.title = 'behind clicked'">Behind</button>
<dialog id=d aria-labelledby=dt><h2 id=dt>Cookie settings</h2><p>We use cookies.</p>
  <button onclick="document.getElementById('d').close()">Accept</button></dialog>)~");
    json before = scan();
    EXPECT_FALSE(before.contains("cover"));
    EXPECT_FALSE(element(before, "button", "Accept")) << "a closed dialog shows nothing";
    value("click", {{"ref", ref(before, "button", "Open settings")}});
    json open = scan();
    ASSERT_TRUE(open.contains("cover"));
    EXPECT_EQ(open["cover"]["name"], "Cookie settings");
    EXPECT_EQ(open["cover"]["refs"], json::array({ref(open, "button", "Accept")}));

    json behind = call("click", {{"ref", ref(open, "button", "Behind")}});
    EXPECT_EQ(behind["ok"], false);
    EXPECT_EQ(behind["code"], "obscured");
    std::string message = behind["message"];
    EXPECT_NE(message.find(ref(open, "button", "Behind") + " (button \"Behind\")"), std::string::npos) << message;
    EXPECT_NE(message.find("Cookie settings"), std::string::npos) << message;
    EXPECT_EQ(page("return document.title"), "Shop");

    // Escape closes a modal dialog, as it would for a person.
    value("press", {{"key", "Escape"}});
    EXPECT_FALSE(scan().contains("cover"));
}

TEST_F(PageAgent, ReportsAnOverlayWithoutDialogRoleAsACover) {
    open("/overlay", R"(<title>News</title>
<style>#veil{position:fixed;inset:0;background:rgba(0,0,0,.5)} #box{position:fixed;top:30%;left:30%;width:300px;background:#fff}</style>
<main><h1>Article</h1><p>Story text.</p><a href="/more">Read more</a></main>
<div id=veil></div>
<div id=box><h2>Subscribe</h2><input aria-label=Email><button>No thanks</button></div>)");
    json s = scan();
    ASSERT_TRUE(s.contains("cover")) << s.dump();
    EXPECT_EQ(s["cover"]["name"], "Subscribe");
    EXPECT_EQ(s["cover"]["refs"], json::array({ref(s, "textbox", "Email"), ref(s, "button", "No thanks")}));
    json covered = call("click", {{"ref", ref(s, "link", "Read more")}});
    EXPECT_EQ(covered["code"], "obscured");
    EXPECT_EQ(s["mainText"], "Article\nStory text.\nRead more");
    EXPECT_EQ(s["aroundText"], "Subscribe\nNo thanks");
}

TEST_F(PageAgent, SeesIntoOpenShadowRoots) {
    open("/shadow", R"(<title>Shadow</title>
<my-card><a href="/slotted">Slotted link</a></my-card>
<script>
customElements.define('my-card', class extends HTMLElement {
  constructor() {
    super();
    const root = this.attachShadow({mode: 'open'});
    root.innerHTML = '<p>Shadow text</p><label>Quantity <input id=q></label><button id=b>Inside</button><slot></slot>';
    root.getElementById('b').addEventListener('click', () => { document.title = 'clicked inside'; });
  }
});
</script>)");
    json s = scan();
    EXPECT_EQ(names(s), (std::set<std::string>{"textbox Quantity", "button Inside", "link Slotted link"}));
    EXPECT_NE(s["text"].get<std::string>().find("Shadow text"), std::string::npos);
    std::string inside = ref(s, "button", "Inside");
    value("click", {{"ref", inside}});
    EXPECT_EQ(page("return document.title"), "clicked inside");
    value("fill", {{"ref", ref(s, "textbox", "Quantity")}, {"value", "3"}});
    EXPECT_EQ(page("return document.querySelector('my-card').shadowRoot.getElementById('q').value"), "3");

    json loc = value("locator", {{"ref", inside}});
    std::string selector = loc["selector"];
    EXPECT_NE(selector.find(">>>"), std::string::npos) << selector;
    EXPECT_EQ(value("probe", {{"selector", selector}}), "found");
    json found = value("find", {{"role", "button"}, {"name", "Gone"}, {"index", 0}, {"floor", 10}, {"selector", selector}});
    EXPECT_EQ(found["ref"], inside);
    EXPECT_EQ(found["usedSelector"], true);
}

TEST_F(PageAgent, IsOutOfReachOfPageScripts) {
    open("/isolated", R"(<title>Tricky</title>
<script>
  // A hostile page: it replaces what an agent in its world would rely on.
  JSON.stringify = () => 'hijacked';
  Element.prototype.getBoundingClientRect = () => ({left: 0, top: 0, right: 0, bottom: 0, width: 0, height: 0});
  window.getComputedStyle = () => ({display: 'none'});
  EventTarget.prototype.dispatchEvent = function () { document.title = 'dispatch hijacked'; return true; };
</script>
<button onclick="document.title = 'clicked'">Press me</button>)");
    json seen = page(R"(
        const handlers = window.webkit && window.webkit.messageHandlers;
        let posted = 'no';
        try { handlers.person.postMessage('{"action":"click","trusted":true}'); posted = 'yes'; } catch (e) {}
        try { handlers.frame.postMessage('forged'); posted = 'yes'; } catch (e) {}
        return [typeof window.__agent, typeof globalThis.__agent, posted];)");
    EXPECT_EQ(seen, json::array({"undefined", "undefined", "no"}));
    json s = scan();
    ASSERT_EQ(s["elements"].size(), 1u);
    value("click", {{"ref", ref(s, "button", "Press me")}});
    EXPECT_EQ(page("return document.title"), "clicked");
    // Give forged messages time to arrive, were they able to.
    value("status");
    EXPECT_EQ(frames.size(), 1u);
    EXPECT_TRUE(person.empty());
}

TEST_F(PageAgent, ActsAsAPersonWouldAndThePageHearsIt) {
    open("/actions", R"~(<title>Actions</title>
<form id=f><input name=q aria-label=Query><button>Go</button></form>
<select aria-label=Size onchange="document.title = 'size:' + this.value"><option>Small</option><option value=m>Medium</option><option disabled>Huge</option></select>
<button id=count>Count</button>
<input type=checkbox aria-label=Agree>
<textarea aria-label=Notes></textarea>
<input type=date aria-label=Day>
<div style="height:3000px"></div>
<script>
  window.heard = [];
  const q = document.querySelector('[name=q]');
  q.addEventListener('input', e => heard.push('input:' + q.value));
  q.addEventListener('change', () => heard.push('change:' + q.value));
  document.getElementById('f').addEventListener('submit', e => { e.preventDefault(); document.title = 'submitted:' + q.value; });
  const count = document.getElementById('count');
  for (const type of ['pointerdown', 'mousedown', 'pointerup', 'mouseup', 'click'])
    count.addEventListener(type, () => heard.push(type));
</script>)~");
    json s = scan();
    std::string query = ref(s, "textbox", "Query");
    value("fill", {{"ref", query}, {"value", "hello"}});
    EXPECT_EQ(page("return [document.querySelector('[name=q]').value, heard, document.activeElement.name]"),
              json::array({"hello", json::array({"input:hello", "change:hello"}), "q"}));
    value("fill", {{"ref", query}, {"value", "bye"}});
    EXPECT_EQ(page("return document.querySelector('[name=q]').value"), "bye") << "fill replaces what was there";
    value("press", {{"ref", query}, {"key", "Enter"}});
    EXPECT_EQ(page("return document.title"), "submitted:bye");

    page("heard.length = 0");
    value("click", {{"ref", ref(s, "button", "Count")}});
    EXPECT_EQ(page("return heard"), json::array({"pointerdown", "mousedown", "pointerup", "mouseup", "click"}));

    value("select", {{"ref", ref(s, "combobox", "Size")}, {"option", "Medium"}});
    EXPECT_EQ(page("return document.title"), "size:m");
    json size = *element(scan(), "combobox", "Size");
    EXPECT_EQ(size["value"], "Medium");

    value("click", {{"ref", ref(s, "checkbox", "Agree")}});
    EXPECT_EQ((*element(scan(), "checkbox", "Agree"))["checked"], true);
    value("press", {{"ref", ref(s, "checkbox", "Agree")}, {"key", "Space"}});
    EXPECT_EQ((*element(scan(), "checkbox", "Agree"))["checked"], false) << "space toggles a checkbox";

    std::string notes = ref(s, "textbox", "Notes");
    value("fill", {{"ref", notes}, {"value", "one\ntwo"}});
    EXPECT_EQ(page("return document.querySelector('textarea').value"), "one\ntwo");
    value("press", {{"ref", notes}, {"key", "x"}});
    EXPECT_EQ(page("return document.querySelector('textarea').value"), "one\ntwox");
    value("press", {{"key", "Backspace"}});
    EXPECT_EQ(page("return document.querySelector('textarea').value"), "one\ntwo") << "keys go to what has focus";
    value("press", {{"key", "Tab"}});
    EXPECT_EQ(page("return document.activeElement.getAttribute('aria-label')"), "Day");
    value("fill", {{"ref", ref(s, "textbox", "Day")}, {"value", "2024-12-31"}});
    EXPECT_EQ(page("return document.querySelector('[type=date]').value"), "2024-12-31");

    value("scroll", {{"dx", 0}, {"dy", 400}});
    EXPECT_EQ(page("return scrollY"), 400);
    value("scroll", {{"ref", query}});
    EXPECT_EQ(page("return scrollY"), 0);

    json point = value("hover", {{"ref", ref(s, "button", "Count")}});
    json box = page("const r = document.getElementById('count').getBoundingClientRect(); return [r.left, r.right, r.top, r.bottom]");
    EXPECT_GT(point["x"].get<double>(), box[0].get<double>());
    EXPECT_LT(point["x"].get<double>(), box[1].get<double>());
    EXPECT_GT(point["y"].get<double>(), box[2].get<double>());
    EXPECT_LT(point["y"].get<double>(), box[3].get<double>());
    EXPECT_EQ(value("hovered", {{"ref", ref(s, "button", "Count")}}), false);
    EXPECT_TRUE(person.empty()) << "the agent's own actions are not the person's: " << person.size();
}

TEST_F(PageAgent, ExplainsWhyAnElementCannotBeUsed) {
    open("/failures", R"~(<title>Failures</title>
<button disabled>Pay</button>
<button id=vanish>Vanish</button>
<button id=fade>Fade</button>
<select aria-label=Colour><option>Red</option><option>Green</option><option disabled>Blue</option></select>
<a href="/x">Link</a>
<input type=date aria-label=Day>
<input readonly aria-label=Code value=42>
<div style="position:relative"><button>Under</button><div style="position:absolute;inset:0;background:white" class=shield></div></div>
<button style="pointer-events:none">Numb</button>)~");
    json s = scan();
    auto failure = [&](const std::string& command, json args) {
        json reply = call(command, args);
        EXPECT_EQ(reply["ok"], false) << command << " " << args.dump();
        EXPECT_FALSE(reply.value("message", "").empty());
        return reply;
    };
    json disabled = failure("click", {{"ref", ref(s, "button", "Pay")}});
    EXPECT_EQ(disabled["code"], "disabled");
    EXPECT_EQ(disabled["message"].get<std::string>().rfind("Element " + ref(s, "button", "Pay") + " (button \"Pay\") is disabled", 0), 0u)
        << disabled["message"];

    std::string vanish = ref(s, "button", "Vanish");
    page("document.getElementById('vanish').remove(); document.getElementById('fade').style.visibility = 'hidden'");
    json gone = failure("click", {{"ref", vanish}});
    EXPECT_EQ(gone["code"], "not_found");
    EXPECT_NE(gone["message"].get<std::string>().find("no longer on the page"), std::string::npos);
    json hidden = failure("click", {{"ref", ref(s, "button", "Fade")}});
    EXPECT_EQ(hidden["code"], "not_visible");
    json unknown = failure("click", {{"ref", "e999"}});
    EXPECT_EQ(unknown["code"], "not_found");
    EXPECT_EQ(unknown["message"].get<std::string>().rfind("No element e999 on this page.", 0), 0u);

    std::string colour = ref(s, "combobox", "Colour");
    json option = failure("select", {{"ref", colour}, {"option", "Purple"}});
    EXPECT_EQ(option["code"], "no_option");
    EXPECT_EQ(option["message"], "Element " + colour + " (combobox \"Colour\") has no option \"Purple\". "
                                 "Its options: \"Red\", \"Green\", \"Blue\".");
    EXPECT_EQ(failure("select", {{"ref", colour}, {"option", "Blue"}})["code"], "disabled");
    EXPECT_EQ(value("select", {{"ref", colour}, {"option", "green"}}), nullptr) << "case does not matter";
    EXPECT_EQ(failure("select", {{"ref", ref(s, "link", "Link")}, {"option", "x"}})["code"], "wrong_type");
    EXPECT_EQ(failure("fill", {{"ref", colour}, {"value", "x"}})["code"], "wrong_type");
    EXPECT_EQ(failure("fill", {{"ref", ref(s, "link", "Link")}, {"value", "x"}})["code"], "wrong_type");
    json date = failure("fill", {{"ref", ref(s, "textbox", "Day")}, {"value", "31/12/2024"}});
    EXPECT_EQ(date["code"], "wrong_type");
    EXPECT_NE(date["message"].get<std::string>().find("2024-12-31"), std::string::npos) << date["message"];
    EXPECT_EQ(failure("fill", {{"ref", ref(s, "textbox", "Code")}, {"value", "x"}})["code"], "disabled");
    EXPECT_EQ(failure("click", {{"ref", ref(s, "button", "Numb")}})["code"], "disabled");
    json covered = failure("click", {{"ref", ref(s, "button", "Under")}});
    EXPECT_EQ(covered["code"], "obscured");
    EXPECT_NE(covered["message"].get<std::string>().find("div.shield"), std::string::npos) << covered["message"];

    // Failures that are not about an element carry no element code.
    json noCommand = call("dance");
    EXPECT_EQ(noCommand, json({{"ok", false}, {"message", "The page agent has no command \"dance\"."}}));
    json noRef = call("click");
    EXPECT_FALSE(noRef.contains("code"));
    EXPECT_EQ(noRef["message"], "click needs a \"ref\" argument naming an element, such as e12.");
    json badKey = call("press", {{"key", "Hyper+Q"}});
    EXPECT_FALSE(badKey.contains("code"));
    json badSelector = call("probe", {{"selector", "button[[["}});
    EXPECT_FALSE(badSelector.contains("code"));
    EXPECT_NE(badSelector["message"].get<std::string>().find("not valid CSS"), std::string::npos);
}

TEST_F(PageAgent, ProbesForTextAndSelectors) {
    open("/probe", R"(<title>Probe</title><p>Order   <b>confirmed</b></p><p hidden>Secret note</p>
<div class=toast style="display:none">Saved</div><button class=go>Go</button>)");
    EXPECT_EQ(value("probe", {{"text", "Order confirmed"}}), "found");
    EXPECT_EQ(value("probe", {{"text", "Secret note"}}), "missing");
    EXPECT_EQ(value("probe", {{"selector", "button.go"}}), "found");
    EXPECT_EQ(value("probe", {{"selector", ".toast"}}), "hidden");
    EXPECT_EQ(value("probe", {{"selector", "#nothing"}}), "missing");
}

TEST_F(PageAgent, TellsTheSettleLoopWhatKeepsThePageBusy) {
    open("/busy", R"(<title>Busy</title><span id=clock>0</span><div id=box></div><div id=deco></div>
<style>
  @keyframes grow { from { width: 10px } to { width: 200px } }
  @keyframes pulse { from { opacity: 1 } to { opacity: 0.5 } }
  #box.moving { height: 10px; animation: grow 30s linear }
  #deco { height: 10px; width: 10px; animation: pulse 1s infinite alternate }
  #deco.spinner { animation: pulse 1s infinite alternate }
</style>)");
    json quiet;
    ASSERT_TRUE(spinUntil([&] {
        quiet = value("status");
        return quiet["quietMs"].get<double>() > 300;
    }));
    EXPECT_EQ(quiet["readyState"], "complete");
    EXPECT_EQ(quiet["animating"], false) << "an endless decoration does not hold the page: " << quiet.dump();

    page("window.ticker = setInterval(() => document.getElementById('clock').textContent = Date.now(), 20)");
    json ticking;
    ASSERT_TRUE(spinUntil([&] {
        ticking = value("status");
        return ticking.contains("mutated") && ticking["mutated"] == "span#clock";
    }));
    EXPECT_LT(ticking["quietMs"].get<double>(), 200);
    page("clearInterval(window.ticker)");

    page("document.getElementById('box').className = 'moving'");
    json moving = value("status");
    EXPECT_EQ(moving["animating"], true);
    EXPECT_EQ(moving["animated"], "div#box (grow)");
    page("document.getElementById('box').className = ''; document.getElementById('deco').className = 'spinner'");
    json spinning = value("status");
    EXPECT_EQ(spinning["animating"], true) << "an endless loading indicator does hold it";
    EXPECT_EQ(spinning["animated"], "div#deco (pulse)");
}

TEST_F(PageAgent, AnswersWhileTheDocumentIsStillArriving) {
    LoopbackServer::Response held;
    held.hold = true;
    held.contentType = "text/javascript";
    server.serve("/held.js", held);
    server.serve("/slow", "<!doctype html><html><head><title>Slow</title><script src=/held.js></script></head>"
                          "<body><button>Later</button></body></html>");
    webkit_web_view_load_uri(harness->view(), server.url("/slow").c_str());
    ASSERT_TRUE(spinUntil([&] { return !frames.empty() && server.hits("/held.js") > 0; }));
    EXPECT_EQ(page("return document.body"), nullptr);
    json s = scan();
    EXPECT_EQ(s["elements"], json::array());
    EXPECT_EQ(s["text"], "");
    EXPECT_EQ(s["title"], "Slow");
    json busy = value("status");
    EXPECT_EQ(busy["readyState"], "loading");
    EXPECT_EQ(value("probe", {{"text", "Later"}}), "missing");
    EXPECT_EQ(value("typed"), nullptr);

    json late = call("scan", {{"floor", 0}, {"until", 1000.0}});
    EXPECT_EQ(late["ok"], false);
    EXPECT_FALSE(late.contains("code"));
    EXPECT_EQ(late["message"], "The frame ran out of time before it could be scanned.");
}

TEST_F(PageAgent, ReportsThePersonsActionsAndMarksScriptedOnes) {
    open("/shop", R"(<title>Shop</title>
<label for=name>Name</label><input id=name>
<input type=password id=pw aria-label=Password>
<label><input type=checkbox id=gift> Gift wrap</label>
<select id=size aria-label=Size><option>Small</option><option>Medium</option></select>
<button id=buy>Buy</button><button>Buy</button>)");
    page("document.getElementById('buy').click()");
    ASSERT_TRUE(spinUntil([&] { return person.size() >= 1; }));
    EXPECT_EQ(person[0], json::parse(R"({"action":"click","target":{"role":"button","name":"Buy","index":0,
        "selector":"#buy","secret":false},"trusted":false})"));

    page("document.querySelector('label:has(#gift)').click()");
    ASSERT_TRUE(spinUntil([&] { return person.size() >= 2; }));
    EXPECT_EQ(person[1]["action"], "click");
    EXPECT_EQ(person[1]["target"]["role"], "checkbox");
    EXPECT_EQ(person[1]["target"]["name"], "Gift wrap");

    page("const s = document.getElementById('size'); s.value = 'Medium'; s.dispatchEvent(new Event('change', {bubbles: true}))");
    ASSERT_TRUE(spinUntil([&] { return person.size() >= 3; }));
    EXPECT_EQ(person[2]["action"], "select");
    EXPECT_EQ(person[2]["value"], "Medium");
    EXPECT_EQ(person[2]["trusted"], false);

    // Typing not yet committed is answered by "typed", once.
    page("const n = document.getElementById('name'); n.focus(); n.value = 'Ann'; n.dispatchEvent(new InputEvent('input', {bubbles: true}))");
    json typed = value("typed");
    EXPECT_EQ(typed, json::parse(R"({"action":"fill","target":{"role":"textbox","name":"Name","index":0,
        "selector":"#name","secret":false},"value":"Ann","trusted":false})"));
    EXPECT_EQ(value("typed"), nullptr);

    // A committed change is reported on its own, and Enter after it.
    page("const p = document.getElementById('pw'); p.focus(); p.value = 'hunter2'; p.dispatchEvent(new InputEvent('input', {bubbles: true}));"
         "p.dispatchEvent(new KeyboardEvent('keydown', {key: 'Enter', bubbles: true}))");
    ASSERT_TRUE(spinUntil([&] { return person.size() >= 5; }));
    EXPECT_EQ(person[3]["action"], "fill");
    EXPECT_EQ(person[3]["value"], "hunter2");
    EXPECT_EQ(person[3]["target"]["secret"], true);
    EXPECT_EQ(person[4], json::parse(R"({"action":"press","target":{"role":"textbox","name":"Password","index":0,
        "selector":"#pw","secret":true},"value":"Enter","trusted":false})"));
    EXPECT_EQ(value("typed"), nullptr) << "what was reported is not typed again";

    // The agent's own actions are not the person's.
    json s = scan();
    value("fill", {{"ref", ref(s, "textbox", "Name")}, {"value", "Bea"}});
    value("click", {{"ref", s["elements"].back()["ref"]}});
    EXPECT_EQ(value("typed"), nullptr);
    page("document.getElementById('buy').click()");
    ASSERT_TRUE(spinUntil([&] { return person.size() >= 6; }));
    EXPECT_EQ(person.size(), 6u);
}

TEST_F(PageAgent, AnnouncesEachFrameAndAnswersWithTheSameId) {
    server.serve("/inner", "<title>Inner</title><button>Inside frame</button>");
    open("/outer", "<title>Outer</title><button>Outside</button><iframe src=/inner></iframe>");
    ASSERT_TRUE(spinUntil([&] {
        return std::any_of(frames.begin(), frames.end(), [](const json& f) { return f["main"] == false; });
    }));
    json s = scan();
    EXPECT_EQ(names(s), std::set<std::string>{"button Outside"}) << "a frame answers for itself";
    EXPECT_EQ(frames.front()["main"], true);
    EXPECT_EQ(frames.front()["id"], s["frame"]);
    EXPECT_EQ(frames.front()["origin"], server.url("/").substr(0, server.url("/").size() - 1));
    for (std::size_t i = 1; i < frames.size(); i++) {
        EXPECT_EQ(frames[i]["main"], false);
        EXPECT_NE(frames[i]["id"], s["frame"]) << "each frame has its own id";
    }
}

TEST_F(PageAgent, AnnouncesItsFrameAgainWhenThePageComesBackFromTheCache) {
    open("/first", "<title>First</title><script>window.mark = Math.random()</script><a href=/second>Next</a>");
    json mark = page("return window.mark");
    server.serve("/second", "<title>Second</title>");
    ASSERT_TRUE(harness->load(server.url("/second")));
    std::size_t before = frames.size();
    bool finished = false;
    gulong handler = g_signal_connect(harness->view(), "load-changed",
                                      G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, bool* done) {
                                          if (event == WEBKIT_LOAD_FINISHED) *done = true;
                                      }),
                                      &finished);
    webkit_web_view_go_back(harness->view());
    bool loaded = spinUntil([&] { return finished; });
    g_signal_handler_disconnect(harness->view(), handler);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(page("return document.title"), "First");
    if (page("return window.mark") != mark) GTEST_SKIP() << "this engine build did not keep the page in its cache";
    ASSERT_TRUE(spinUntil([&] { return frames.size() > before; }));
    EXPECT_EQ(frames.back()["id"], frames.front()["id"]);
    EXPECT_EQ(frames.back()["main"], true);
}

class NamedFrame : public PageAgent {
protected:
    void SetUp() override {
        frameIdScript = "globalThis.__veskFrameId = '42';";
        PageAgent::SetUp();
    }
};

TEST_F(NamedFrame, UsesTheIdTheWebProcessGaveTheFrame) {
    open("/named", "<title>Named</title>");
    ASSERT_TRUE(spinUntil([&] { return !frames.empty(); }));
    EXPECT_EQ(frames.back()["id"], "42");
    EXPECT_EQ(scan()["frame"], "42");
}

TEST_F(PageAgent, ListsClickableThingsThatAreNotControlsByWhatTheyShow) {
    open("/cards", R"~(<title>Cards</title>
<style>.card{cursor:pointer;border:1px solid;margin:4px;padding:4px} .card *{cursor:pointer}</style>
<div class=card onclick="document.title='first'"><h3>Weekend in Rome</h3><p>From 300 euros</p></div>
<div class=card><h3>Week in Oslo</h3><button>Book</button></div>
<table><tr style="cursor:pointer" onclick="document.title='row'"><td>Invoice 7</td><td>Paid</td></tr></table>
<span class=card tabindex=0></span>
<div style="cursor:pointer"></div>)~");
    json s = scan();
    EXPECT_EQ(names(s), (std::set<std::string>{"generic Weekend in Rome From 300 euros", "button Book",
                                               "generic Invoice 7 Paid", "generic "}))
        << "a clickable container of controls is not listed, nor one that shows nothing";
    value("click", {{"ref", ref(s, "generic", "Weekend in Rome From 300 euros")}});
    EXPECT_EQ(page("return document.title"), "first");
    value("click", {{"ref", ref(s, "generic", "Invoice 7 Paid")}});
    EXPECT_EQ(page("return document.title"), "row");
}

TEST_F(PageAgent, WorksCustomWidgets) {
    open("/widgets", R"~(<title>Widgets</title>
<div role=combobox aria-label=Fruit aria-expanded=false aria-controls=list tabindex=0 id=combo>Pick one</div>
<ul role=listbox id=list hidden><li role=option>Apple</li><li role=option>Pear</li></ul>
<div contenteditable=true aria-label=Message style="min-height:20px"></div>
<input aria-label=City id=city autocomplete=off><ul id=suggest></ul>
<script>
  combo.addEventListener('click', () => { list.hidden = false; combo.setAttribute('aria-expanded', 'true'); });
  list.addEventListener('click', e => { combo.textContent = e.target.textContent; list.hidden = true; });
  city.addEventListener('input', () => {
    suggest.innerHTML = ['Paris', 'Parma'].filter(c => c.startsWith(city.value)).map(c => '<li role=option>' + c + '</li>').join('');
  });
</script>)~");
    json s = scan();
    EXPECT_EQ((*element(s, "combobox", "Fruit"))["value"], "Pick one");
    value("select", {{"ref", ref(s, "combobox", "Fruit")}, {"option", "Pear"}});
    EXPECT_EQ(page("return document.getElementById('combo').textContent"), "Pear");
    EXPECT_EQ((*element(scan(), "combobox", "Fruit"))["value"], "Pear");

    std::string message = ref(s, "textbox", "Message");
    value("fill", {{"ref", message}, {"value", "Hello there"}});
    EXPECT_EQ(page("return document.querySelector('[contenteditable]').textContent"), "Hello there");
    EXPECT_EQ((*element(scan(), "textbox", "Message"))["value"], "Hello there");

    value("fill", {{"ref", ref(s, "textbox", "City")}, {"value", "Par"}});
    json after = scan();
    EXPECT_TRUE(element(after, "option", "Paris"));
    EXPECT_TRUE(element(after, "option", "Parma"));
}

TEST_F(PageAgent, ASubframeNamesItsElementsAfterItsFrame) {
    server.serve("/pay", "<title>Card</title><label>Card number <input></label><button>Pay now</button>");
    open("/checkout", R"(<title>Checkout</title><button>Back</button>
<iframe title="Payment form" src="/pay" style="position:absolute;left:100px;top:200px;width:400px;height:200px;border:0"></iframe>)");
    ASSERT_TRUE(spinUntil([&] { return frames.size() >= 2; }));
    json main = scan(0);
    // The main frame's own world reaches the agent of a subframe of its origin,
    // as the web process does for the session.
    auto inFrame = [&](const std::string& command, const json& args) {
        std::string body = "return JSON.parse(document.querySelector('iframe').contentWindow.__agent.call(" +
                           json(command).dump() + ", " + args.dump() + "))";
        return harness->call(body, world);
    };
    ASSERT_TRUE(spinUntil([&] {
        return inFrame("probe", {{"text", "Pay now"}}) == json({{"ok", true}, {"value", "found"}});
    }));
    json sub = inFrame("scan", {{"floor", main["lastRef"]}, {"until", 1e15}})["value"];
    EXPECT_EQ(sub["loadedFrom"], server.url("/pay"));
    EXPECT_NE(sub["frame"], main["frame"]);
    ASSERT_EQ(sub["elements"].size(), 2u);
    for (const auto& e : sub["elements"]) EXPECT_EQ(e["frame"], "Payment form");
    EXPECT_EQ(sub["elements"][0]["ref"], "e" + std::to_string(main["lastRef"].get<int>() + 1));
    EXPECT_FALSE(main["elements"][0].contains("frame")) << "the main frame's elements carry no frame";

    // Where the pointer goes, in the page's own coordinates.
    json point = inFrame("hover", {{"ref", sub["elements"][1]["ref"]}})["value"];
    EXPECT_GT(point["x"].get<double>(), 100);
    EXPECT_GT(point["y"].get<double>(), 200);
    EXPECT_LT(point["y"].get<double>(), 400);
}

TEST_F(PageAgent, KeepsItsRepliesReadableWhenThePageCutsACharacterInTwo) {
    open("/broken", "<title>Broken</title><button id=b></button><p id=p></p>");
    // Half of an emoji, as a page that cuts text by code units leaves it.
    page("document.getElementById('b').textContent = 'Save \\uD83D'; document.getElementById('p').textContent = '\\uDE00 done \\uD83D\\uDE00'");
    json s = scan();  // parsed strictly: a lone surrogate escape would throw
    EXPECT_EQ(s["elements"][0]["name"], "Save \xEF\xBF\xBD");
    EXPECT_EQ(s["text"], "Save \xEF\xBF\xBD\n\xEF\xBF\xBD done \xF0\x9F\x98\x80");
}
