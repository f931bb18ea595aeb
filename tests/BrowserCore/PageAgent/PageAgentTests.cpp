// The page agent on a real web view, installed as the session installs it (at
// document start, in every frame, in the world "Vesk", with its "person" and
// "frame" channels in that world). Pages are in pages/.

#include "Support/BrowserCoreResource.h"
#include "Support/Fixture.h"
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

class PageAgent : public testing::Test {
protected:
    void SetUp() override {
        if (!gtk_is_initialized()) GTEST_SKIP() << "needs a display: run in scripts/test-session";
        harness = std::make_unique<WebViewHarness>();
        if (!frameIdScript.empty()) harness->addScript(frameIdScript, true, world);
        // In place of the web process's posting function.
        harness->addScript("globalThis.__veskPost = (c, b) => webkit.messageHandlers[c].postMessage(b);", true, world);
        harness->addScript(browserCoreResource("agent.js"), true, world);
        auto keep = [](std::vector<json>& into) {
            return [&into](JSCValue* body) {
                char* text = jsc_value_to_string(body);
                into.push_back(json::parse(text));
                g_free(text);
            };
        };
        harness->onMessage("person", world, keep(person));
        harness->onMessage("frame", world, keep(frames));
    }

    // Serves pages/<name>.html at /<name>; `open` also loads it.
    void serve(const std::string& name) { server.serve("/" + name, fixture("BrowserCore/PageAgent/pages/" + name + ".html")); }
    void open(const std::string& name) {
        serve(name);
        ASSERT_TRUE(harness->load(server.url("/" + name)));
    }

    // Sends a command to the agent of the main frame (or of its first
    // subframe) and gives back the reply envelope, parsed strictly.
    json call(const std::string& command, const json& args = json::object(), bool subframe = false) {
        std::string agent = subframe ? "document.querySelector('iframe').contentWindow.__agent" : "__agent";
        json text = harness->call("return " + agent + ".call(" + json(command).dump() + ", " + args.dump() + ")", world);
        return json::parse(text.get<std::string>());
    }

    // The value of a command that must succeed.
    json value(const std::string& command, const json& args = json::object()) {
        json reply = call(command, args);
        EXPECT_EQ(reply["ok"], true) << command << " failed: " << reply.dump();
        return reply.contains("value") ? reply["value"] : json();
    }
    // The code of a command that must fail.
    json failure(const std::string& command, const json& args) {
        json reply = call(command, args);
        EXPECT_EQ(reply["ok"], false) << command << " " << args.dump();
        EXPECT_FALSE(reply.value("message", "").empty());
        return reply.value("code", json());
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
    static json field(const json& snapshot, const std::string& role, const std::string& name, const char* key) {
        const json* e = element(snapshot, role, name);
        return e && e->contains(key) ? (*e)[key] : json();
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
        const json& list = snapshot["onScreen"];
        return std::find(list.begin(), list.end(), json(r)) != list.end();
    }
    static bool has(const json& text, const std::string& part) { return text.get<std::string>().find(part) != std::string::npos; }

    // Stands in for the web process, which names each frame in the world
    // before the agent starts.
    std::string frameIdScript;
    LoopbackServer server;
    std::unique_ptr<WebViewHarness> harness;
    std::vector<json> person;
    std::vector<json> frames;  // {"id", "main", "origin"}
};

} // namespace

TEST_F(PageAgent, NamesFieldsByEveryLabellingTechnique) {
    open("form");
    json s = scan();
    EXPECT_EQ(s["title"], "Form");
    EXPECT_EQ(names(s), (std::set<std::string>{
        "textbox First name", "textbox Last name", "textbox Work email", "textbox Phone (mobile)",
        "searchbox Search the site", "textbox City", "textbox Password", "radio Mail", "radio Telephone",
        "checkbox I agree to the terms", "combobox Country", "textbox Bio", "button Send", "button Save draft",
        "link Help", "button Go", "textbox Birthday", "button Close"}));
    struct Expected { const char* role; const char* name; const char* key; json value; };
    for (const auto& [role, name, key, expected] : std::vector<Expected>{
             {"textbox", "First name", "tag", "input"}, {"textbox", "First name", "required", true},
             {"textbox", "First name", "value", nullptr}, {"textbox", "Last name", "value", "Doe"},
             {"textbox", "Work email", "type", "email"}, {"textbox", "Password", "type", "password"},
             {"textbox", "Password", "value", "\u2022\u2022\u2022\u2022\u2022\u2022\u2022"},
             {"radio", "Mail", "checked", true}, {"radio", "Mail", "context", "Contact by"},
             {"radio", "Telephone", "checked", false}, {"combobox", "Country", "tag", "select"},
             {"combobox", "Country", "value", "Choose one"},
             {"combobox", "Country", "options", "Choose one | France | Germany"},
             {"textbox", "Bio", "value", "Hello there"}, {"button", "Save draft", "disabled", true},
             {"button", "Send", "disabled", nullptr}, {"link", "Help", "href", server.url("/help")},
             {"textbox", "Birthday", "type", "date"}}) {
        EXPECT_EQ(field(s, role, name, key), expected) << role << " " << name << " " << key;
    }
    EXPECT_TRUE(has(s["text"], "First name") && has(s["text"], "Contact by"));
    EXPECT_FALSE(has(s["text"], "to the terms")) << "text hidden from sight is not page text";
    EXPECT_FALSE(has(s["text"], "Hello there")) << "a field's value is not page text";
    EXPECT_EQ(s["onScreen"].size(), s["elements"].size());
    EXPECT_EQ(s["loadedFrom"], server.url("/form"));
}

TEST_F(PageAgent, TellsRepeatedControlsApartAndKeepsTheirRefs) {
    open("table");
    json first = scan(0);
    std::vector<std::string> contexts;
    for (const auto& e : first["elements"]) contexts.push_back(e.value("context", ""));
    EXPECT_EQ(contexts, (std::vector<std::string>{"Alice", "Bob", "Carol", "Red shoes", "Blue hat", ""}));
    EXPECT_EQ(first["elements"][0]["ref"], "e1");
    EXPECT_EQ(first["lastRef"], 6);

    // A later scan keeps every ref; only new elements are numbered above the floor.
    EXPECT_EQ(call("click", {{"ref", ref(first, "button", "Add row")}}), json({{"ok", true}}));
    json second = scan(100);
    ASSERT_EQ(second["elements"].size(), 7u);
    for (std::size_t i = 0; i < 3; i++) EXPECT_EQ(second["elements"][i]["ref"], first["elements"][i]["ref"]);
    EXPECT_EQ(second["elements"][3]["ref"], "e101");
    EXPECT_EQ(second["elements"][6]["ref"], first["elements"][5]["ref"]);
    EXPECT_EQ(second["lastRef"], 101);
    json third = scan(50);
    EXPECT_EQ(third["elements"], second["elements"]);
    EXPECT_EQ(third["lastRef"], 101);

    // Locator and find describe an element by role, name and place.
    std::string bob = second["elements"][1]["ref"];
    json loc = value("locator", {{"ref", bob}});
    EXPECT_EQ(loc["index"], 1);
    EXPECT_EQ(loc["secret"], false);
    EXPECT_EQ(page("return document.querySelectorAll(" + json(loc["selector"]).dump() + ").length"), 1);
    EXPECT_EQ(value("locator", {{"ref", ref(second, "button", "Add row")}})["selector"], "#x") << "an id of one letter";
    EXPECT_EQ(value("find", {{"role", "button"}, {"name", "Delete"}, {"index", 1}, {"floor", 101}}),
              json({{"ref", bob}, {"usedSelector", false}, {"lastRef", 101}}));

    // A renamed element is found by its selector, and says so.
    page("document.querySelectorAll('button')[1].textContent = 'Erase'");
    json bySelector = value("find", {{"role", "button"}, {"name", "Delete"}, {"index", 3}, {"floor", 101},
                                     {"selector", loc["selector"]}});
    EXPECT_EQ(bySelector["ref"], bob);
    EXPECT_EQ(bySelector["usedSelector"], true);

    json missing = call("find", {{"role", "button"}, {"name", "Delete"}, {"index", 5}, {"floor", 101}});
    EXPECT_EQ(missing["code"], "not_found");
    EXPECT_EQ(missing["message"], "The page has 3 button \"Delete\", so there is no number 6 of them. "
                                  "Take a snapshot to see what the page has now.");
    EXPECT_EQ(failure("find", {{"role", "link"}, {"name", "Home"}, {"index", 0}, {"floor", 0}}), "not_found");
}

TEST_F(PageAgent, ListsOnlyWhatAPersonCanSee) {
    open("hidden");
    json s = scan();
    EXPECT_EQ(names(s), (std::set<std::string>{"button Shown", "button More", "checkbox Fancy toggle",
                                               "button InScroller", "button Below"}));
    EXPECT_TRUE(has(s["text"], "Visible text"));
    EXPECT_TRUE(has(s["text"], "Contents text")) << "text of an element without a box of its own";
    EXPECT_TRUE(has(s["text"], "Scrolling notes\nlet code = 1;")) << "focusable for the keyboard only: text, not controls";
    for (const char* hidden : {"Hidden text", "Skip to content", "NoDisplay", "Invisible", "Transparent", "OffLeft",
                               "Clipped", "InDetails", "InHidden"}) {
        EXPECT_FALSE(has(s["text"], hidden)) << hidden;
    }
    EXPECT_TRUE(onScreen(s, ref(s, "checkbox", "Fancy toggle")));
    EXPECT_FALSE(onScreen(s, ref(s, "button", "InScroller"))) << "scrolled out of its panel";
    EXPECT_FALSE(onScreen(s, ref(s, "button", "Below")));

    // A click brings an element below the fold into view first.
    std::string below = ref(s, "button", "Below");
    page("document.getElementById('below').onclick = () => document.title = 'below clicked'");
    value("click", {{"ref", below}});
    EXPECT_EQ(page("return document.title"), "below clicked");
    EXPECT_TRUE(onScreen(scan(), below));
    // The hidden checkbox is used through its label; opening the details shows what it holds.
    value("click", {{"ref", ref(s, "checkbox", "Fancy toggle")}});
    EXPECT_EQ(page("return document.getElementById('fancy').checked"), true);
    value("click", {{"ref", ref(s, "button", "More")}});
    EXPECT_TRUE(names(scan()).contains("button InDetails"));
}

TEST_F(PageAgent, ReportsAModalDialogAsACoverAndRefusesClicksBehindIt) {
    open("modal");
    json before = scan();
    EXPECT_FALSE(before.contains("cover"));
    EXPECT_FALSE(element(before, "button", "Accept")) << "a closed dialog shows nothing";
    value("click", {{"ref", ref(before, "button", "Open settings")}});
    json open = scan();
    EXPECT_EQ(open["cover"], json({{"name", "Cookie settings"}, {"refs", {ref(open, "button", "Accept")}}}));

    json behind = call("click", {{"ref", ref(open, "button", "Behind")}});
    EXPECT_EQ(behind["code"], "obscured");
    EXPECT_TRUE(has(behind["message"], ref(open, "button", "Behind") + " (button \"Behind\")")) << behind;
    EXPECT_TRUE(has(behind["message"], "Cookie settings")) << behind;
    EXPECT_EQ(page("return document.title"), "Shop");
    value("press", {{"key", "Escape"}});
    EXPECT_FALSE(scan().contains("cover")) << "Escape closes a modal dialog";
}

TEST_F(PageAgent, ReportsAnOverlayWithoutDialogRoleAsACover) {
    open("overlay");
    json s = scan();
    EXPECT_EQ(s["cover"], json({{"name", "Subscribe"}, {"refs", {ref(s, "textbox", "Email"), ref(s, "button", "No thanks")}}}));
    EXPECT_EQ(failure("click", {{"ref", ref(s, "link", "Read more")}}), "obscured");
    EXPECT_EQ(s["mainText"], "Article\nStory text.\nRead more");
    EXPECT_EQ(s["aroundText"], "Subscribe\nNo thanks");
}

TEST_F(PageAgent, SeesIntoOpenShadowRoots) {
    open("shadow");
    json s = scan();
    EXPECT_EQ(names(s), (std::set<std::string>{"textbox Quantity", "button Inside", "link Slotted link"}));
    EXPECT_TRUE(has(s["text"], "Shadow text"));
    std::string inside = ref(s, "button", "Inside");
    value("click", {{"ref", inside}});
    EXPECT_EQ(page("return document.title"), "clicked inside");
    value("fill", {{"ref", ref(s, "textbox", "Quantity")}, {"value", "3"}});
    EXPECT_EQ(page("return document.querySelector('my-card').shadowRoot.getElementById('q').value"), "3");

    std::string selector = value("locator", {{"ref", inside}})["selector"];
    EXPECT_TRUE(has(selector, ">>>")) << selector;
    EXPECT_EQ(value("probe", {{"selector", selector}}), "found");
    json found = value("find", {{"role", "button"}, {"name", "Gone"}, {"index", 0}, {"floor", 10}, {"selector", selector}});
    EXPECT_EQ(found["ref"], inside);
}

TEST_F(PageAgent, IsOutOfReachOfPageScripts) {
    open("isolated");
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
    value("status");  // time for forged messages to arrive, were they able to
    EXPECT_EQ(frames.size(), 1u);
    EXPECT_TRUE(person.empty());
}

TEST_F(PageAgent, ActsAsAPersonWouldAndThePageHearsIt) {
    open("actions");
    json s = scan();
    std::string query = ref(s, "textbox", "Query");
    value("fill", {{"ref", query}, {"value", "hello"}});
    EXPECT_EQ(page("return [document.querySelector('[name=q]').value, heard, document.activeElement.name]"),
              json::array({"hello", json::array({"input:hello", "change:hello"}), "q"}));
    value("fill", {{"ref", query}, {"value", "bye"}});
    value("press", {{"ref", query}, {"key", "Enter"}});
    EXPECT_EQ(page("return document.title"), "submitted:bye") << "fill replaces what was there";

    page("heard.length = 0");
    value("click", {{"ref", ref(s, "button", "Count")}});
    EXPECT_EQ(page("return heard"), json::array({"pointerdown", "mousedown", "pointerup", "mouseup", "click"}));

    value("select", {{"ref", ref(s, "combobox", "Size")}, {"option", "Medium"}});
    EXPECT_EQ(page("return document.title"), "size:m");
    EXPECT_EQ(field(scan(), "combobox", "Size", "value"), "Medium");

    value("click", {{"ref", ref(s, "checkbox", "Agree")}});
    EXPECT_EQ(field(scan(), "checkbox", "Agree", "checked"), true);
    value("press", {{"ref", ref(s, "checkbox", "Agree")}, {"key", "Space"}});
    EXPECT_EQ(field(scan(), "checkbox", "Agree", "checked"), false) << "space toggles a checkbox";

    std::string notes = ref(s, "textbox", "Notes");
    auto notesText = [&] { return page("return document.querySelector('textarea').value"); };
    value("fill", {{"ref", notes}, {"value", "one\ntwo"}});
    value("press", {{"ref", notes}, {"key", "x"}});
    EXPECT_EQ(notesText(), "one\ntwox");
    value("press", {{"key", "Backspace"}});
    EXPECT_EQ(notesText(), "one\ntwo") << "keys go to what has focus";
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
    EXPECT_TRUE(point["x"] > box[0] && point["x"] < box[1] && point["y"] > box[2] && point["y"] < box[3]) << point << box;
    EXPECT_EQ(value("hovered", {{"ref", ref(s, "button", "Count")}}), false);
    EXPECT_TRUE(person.empty()) << "the agent's own actions are not the person's: " << person.size();
}

TEST_F(PageAgent, ExplainsWhyAnElementCannotBeUsed) {
    open("failures");
    json s = scan();
    std::string colour = ref(s, "combobox", "Colour"), link = ref(s, "link", "Link");
    json pay = call("click", {{"ref", ref(s, "button", "Pay")}});
    EXPECT_EQ(pay["message"].get<std::string>().rfind("Element " + ref(s, "button", "Pay") + " (button \"Pay\") is disabled", 0), 0u) << pay;
    std::string vanish = ref(s, "button", "Vanish");
    page("document.getElementById('vanish').remove(); document.getElementById('fade').style.visibility = 'hidden'");
    EXPECT_TRUE(has(call("click", {{"ref", vanish}})["message"], "no longer on the page"));
    json option = call("select", {{"ref", colour}, {"option", "Purple"}});
    EXPECT_EQ(option["message"], "Element " + colour + " (combobox \"Colour\") has no option \"Purple\". "
                                 "Its options: \"Red\", \"Green\", \"Blue\".");
    EXPECT_TRUE(has(call("fill", {{"ref", ref(s, "textbox", "Day")}, {"value", "31/12/2024"}})["message"], "2024-12-31"));
    EXPECT_TRUE(has(call("click", {{"ref", ref(s, "button", "Under")}})["message"], "div.shield"));

    struct Case { const char* command; json args; const char* code; };
    for (const auto& [command, args, code] : std::vector<Case>{
             {"click", {{"ref", ref(s, "button", "Pay")}}, "disabled"},
             {"click", {{"ref", vanish}}, "not_found"},
             {"click", {{"ref", ref(s, "button", "Fade")}}, "not_visible"},
             {"click", {{"ref", "e999"}}, "not_found"},
             {"select", {{"ref", colour}, {"option", "Purple"}}, "no_option"},
             {"select", {{"ref", colour}, {"option", "Blue"}}, "disabled"},
             {"select", {{"ref", link}, {"option", "x"}}, "wrong_type"},
             {"fill", {{"ref", colour}, {"value", "x"}}, "wrong_type"},
             {"fill", {{"ref", link}, {"value", "x"}}, "wrong_type"},
             {"fill", {{"ref", ref(s, "textbox", "Day")}, {"value", "31/12/2024"}}, "wrong_type"},
             {"fill", {{"ref", ref(s, "textbox", "Code")}, {"value", "x"}}, "disabled"},
             {"click", {{"ref", ref(s, "button", "Numb")}}, "disabled"},
             {"click", {{"ref", ref(s, "button", "Under")}}, "obscured"},
             // Failures that are not about an element carry no element code.
             {"dance", json::object(), nullptr},
             {"click", json::object(), nullptr},
             {"press", {{"key", "Hyper+Q"}}, nullptr},
             {"probe", {{"selector", "button[[["}}, nullptr}}) {
        EXPECT_EQ(failure(command, args), code ? json(code) : json()) << command << " " << args;
    }
    EXPECT_EQ(value("select", {{"ref", colour}, {"option", "green"}}), nullptr) << "case does not matter";
    EXPECT_EQ(call("click")["message"], "click needs a \"ref\" argument naming an element, such as e12.");
}

TEST_F(PageAgent, ProbesForTextAndSelectors) {
    open("probe");
    for (const auto& [args, expected] : std::vector<std::pair<json, const char*>>{
             {{{"text", "Order confirmed"}}, "found"}, {{{"text", "Secret note"}}, "missing"},
             {{{"selector", "button.go"}}, "found"}, {{{"selector", ".toast"}}, "hidden"},
             {{{"selector", "#nothing"}}, "missing"}}) {
        EXPECT_EQ(value("probe", args), expected) << args;
    }
}

TEST_F(PageAgent, TellsTheSettleLoopWhatKeepsThePageBusy) {
    open("busy");
    json quiet;
    ASSERT_TRUE(spinUntil([&] { return (quiet = value("status"))["quietMs"].get<double>() > 300; }));
    EXPECT_EQ(quiet["readyState"], "complete");
    EXPECT_EQ(quiet["animating"], false) << "an endless decoration does not hold the page: " << quiet;

    page("window.ticker = setInterval(() => document.getElementById('clock').textContent = Date.now(), 20)");
    json ticking;
    ASSERT_TRUE(spinUntil([&] { return (ticking = value("status")).value("mutated", "") == "span#clock"; }));
    EXPECT_LT(ticking["quietMs"].get<double>(), 200);
    page("clearInterval(window.ticker)");

    page("document.getElementById('box').className = 'moving'");
    EXPECT_EQ(value("status")["animated"], "div#box (grow)");
    page("document.getElementById('box').className = ''; document.getElementById('deco').className = 'spinner'");
    json spinning = value("status");
    EXPECT_EQ(spinning["animating"], true) << "an endless loading indicator does hold it";
    EXPECT_EQ(spinning["animated"], "div#deco (pulse)");
    page("document.getElementById('deco').className = ''");
    // What says that an endless animation shows loading is looked for three
    // ancestors up, not four.
    page("document.body.insertAdjacentHTML('beforeend', "
         "'<div class=loading-area><div id=up3><div><div><div class=dot></div></div></div></div></div>')");
    EXPECT_EQ(value("status")["animating"], false);
    page("document.getElementById('up3').className = 'loading-area'");
    EXPECT_EQ(value("status")["animated"], "div.dot (pulse)");
    page("document.querySelector('.dot').remove()");

    // A change is over only once the page has been given a frame after it:
    // while it is given none (here: hidden), time alone does not make it
    // quiet, until a second has passed.
    gtk_widget_set_visible(GTK_WIDGET(harness->view()), FALSE);
    ASSERT_TRUE(spinUntil([&] { return page("return document.visibilityState") == "hidden"; }));
    page("window.changedAt = performance.now(); document.getElementById('clock').textContent = 'held'");
    ASSERT_TRUE(spinUntil([&] { return page("return performance.now() - window.changedAt").get<double>() > 400; }));
    json held = value("status");
    if (held["quietMs"] != 0) {
        EXPECT_GE(page("return performance.now() - window.changedAt").get<double>(), 1000) << held;
    }
    ASSERT_TRUE(spinUntil([&] { return page("return performance.now() - window.changedAt").get<double>() > 1200; }));
    EXPECT_GE(value("status")["quietMs"].get<double>(), 1000);
    gtk_widget_set_visible(GTK_WIDGET(harness->view()), TRUE);
}

TEST_F(PageAgent, AnswersWhileTheDocumentIsStillArriving) {
    LoopbackServer::Response held;
    held.hold = true;
    held.contentType = "text/javascript";
    server.serve("/held.js", held);
    serve("slow");
    webkit_web_view_load_uri(harness->view(), server.url("/slow").c_str());
    ASSERT_TRUE(spinUntil([&] { return !frames.empty() && server.hits("/held.js") > 0; }));
    json s = scan();
    EXPECT_EQ(s["elements"], json::array());
    EXPECT_EQ(s["title"], "Slow");
    EXPECT_EQ(value("status")["readyState"], "loading");
    EXPECT_EQ(value("probe", {{"text", "Later"}}), "missing");
    EXPECT_EQ(value("typed"), nullptr);
    json late = call("scan", {{"floor", 0}, {"until", 1000.0}});
    EXPECT_EQ(late, json({{"ok", false}, {"message", "The frame ran out of time before it could be scanned."}}));
}

TEST_F(PageAgent, ReportsThePersonsActionsAndMarksScriptedOnes) {
    open("shop");
    auto target = [](const char* role, const char* name, const char* selector, bool secret) {
        return json({{"role", role}, {"name", name}, {"index", 0}, {"selector", selector}, {"secret", secret}});
    };
    page("document.getElementById('buy').click()");
    page("document.querySelector('label:has(#gift)').click()");
    page("const s = document.getElementById('size'); s.value = 'Medium'; s.dispatchEvent(new Event('change', {bubbles: true}))");
    ASSERT_TRUE(spinUntil([&] { return person.size() >= 3; }));
    EXPECT_EQ(person[0], json({{"action", "click"}, {"target", target("button", "Buy", "#buy", false)}, {"trusted", false}}));
    EXPECT_EQ(person[1]["target"]["name"], "Gift wrap") << "a click on a label is a click on its control";
    EXPECT_EQ(person[2]["action"], "select");
    EXPECT_EQ(person[2]["value"], "Medium");

    // Typing not yet committed is answered by "typed", once.
    page("const n = document.getElementById('name'); n.focus(); n.value = 'Ann'; n.dispatchEvent(new InputEvent('input', {bubbles: true}))");
    EXPECT_EQ(value("typed"), json({{"action", "fill"}, {"target", target("textbox", "Name", "#name", false)},
                                    {"value", "Ann"}, {"trusted", false}}));
    EXPECT_EQ(value("typed"), nullptr);

    // A committed change is reported on its own, and Enter after it.
    page("const p = document.getElementById('pw'); p.focus(); p.value = 'hunter2'; p.dispatchEvent(new InputEvent('input', {bubbles: true}));"
         "p.dispatchEvent(new KeyboardEvent('keydown', {key: 'Enter', bubbles: true}))");
    ASSERT_TRUE(spinUntil([&] { return person.size() >= 5; }));
    EXPECT_EQ(person[3]["value"], "hunter2");
    EXPECT_EQ(person[4], json({{"action", "press"}, {"target", target("textbox", "Password", "#pw", true)},
                               {"value", "Enter"}, {"trusted", false}}));
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
    serve("inner");
    open("outer");
    ASSERT_TRUE(spinUntil([&] { return std::any_of(frames.begin(), frames.end(), [](const json& f) { return f["main"] == false; }); }));
    json s = scan();
    EXPECT_EQ(names(s), std::set<std::string>{"button Outside"}) << "a frame answers for itself";
    EXPECT_EQ(frames.front()["main"], true);
    EXPECT_EQ(frames.front()["id"], s["frame"]);
    EXPECT_EQ(frames.front()["origin"], server.url("/").substr(0, server.url("/").size() - 1));
    for (std::size_t i = 1; i < frames.size(); i++) EXPECT_NE(frames[i]["id"], s["frame"]) << "each frame has its own id";
}

TEST_F(PageAgent, AnnouncesItsFrameAgainWhenThePageComesBackFromTheCache) {
    open("first");
    json mark = page("return window.mark");
    open("second");
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
    if (page("return window.mark") != mark) GTEST_SKIP() << "this engine build did not keep the page in its cache";
    ASSERT_TRUE(spinUntil([&] { return frames.size() > before; }));
    EXPECT_EQ(frames.back()["id"], frames.front()["id"]);
}

class NamedFrame : public PageAgent {
protected:
    void SetUp() override {
        frameIdScript = "globalThis.__veskFrameId = '42';";
        PageAgent::SetUp();
    }
};

TEST_F(NamedFrame, UsesTheIdTheWebProcessGaveTheFrame) {
    open("named");
    ASSERT_TRUE(spinUntil([&] { return !frames.empty(); }));
    EXPECT_EQ(frames.back()["id"], "42");
    EXPECT_EQ(scan()["frame"], "42");
}

TEST_F(PageAgent, ListsClickableThingsThatAreNotControlsByWhatTheyShow) {
    open("cards");
    json s = scan();
    EXPECT_EQ(names(s), (std::set<std::string>{"generic Weekend in Rome From 300 euros", "button Book",
                                               "generic Invoice 7 Paid", "generic "}))
        << "a clickable container of controls is not listed, nor one that shows nothing";
    value("click", {{"ref", ref(s, "generic", "Invoice 7 Paid")}});
    EXPECT_EQ(page("return document.title"), "row");
}

TEST_F(PageAgent, ListsCardsMadeClickableByAScriptListenerAndThePointerHand) {
    open("deals");
    json s = scan();
    EXPECT_EQ(names(s), (std::set<std::string>{"generic Weekend in Rome From 300 euros", "generic Weekend in Oslo From 420 euros"}));
    value("click", {{"ref", ref(s, "generic", "Weekend in Oslo From 420 euros")}});
    EXPECT_EQ(page("return document.title"), "Oslo");
}

TEST_F(PageAgent, ReadsAGridOfDivsAndAPagerAsTheyAreLaidOut) {
    open("scores");
    EXPECT_EQ(scan()["text"], "Scores\nSeason: 2024 \u00d7\nTable Chart More\nName\tScore\tCity\tRate\n"
                              "Ann Silva\t79\tMadrid\t40.1\t\U0001F5D1\nBo Chen\t92\tOslo\t38.5\t\U0001F5D1\n"
                              "Cy Diaz\t85\tLima\t41.7\t\U0001F5D1\nFirst\tPrev\t1 2 3\tNext\tLast\nImportant: Ann leads.");
    // Names read from content keep boxes apart too.
    page("document.body.insertAdjacentHTML('beforeend', '<div tabindex=0 style=\"display:flex\"><span>Ann Silva</span><span>79</span></div>')");
    EXPECT_TRUE(element(scan(), "generic", "Ann Silva 79"));
}

TEST_F(PageAgent, ListsWhatAPersonClicksByItsRoleOrStateAndNamesASymbolByWhatItActsOn) {
    open("scores");
    json s = scan();
    for (const char* expected : {"columnheader Score", "gridcell Madrid", "generic Chart", "generic More"}) {
        EXPECT_TRUE(names(s).contains(expected)) << expected;
    }
    EXPECT_FALSE(element(s, "columnheader", "")) << "a header that does not sort is no control";
    page("document.body.insertAdjacentHTML('beforeend', '<table><tr><th aria-sort=none>Team</th><th>Coach</th></tr></table>')");
    json table = scan();
    EXPECT_TRUE(element(table, "columnheader", "Team") && !element(table, "columnheader", "Coach")) << "a table's own headers too";
    EXPECT_EQ(field(s, "button", "\u00d7", "context"), "Season: 2024") << "a lone symbol names what it acts on";

    value("click", {{"ref", ref(s, "columnheader", "Score")}});
    json sorted = scan();
    EXPECT_TRUE(has(sorted["text"], "Rate\nAnn Silva\t79\tMadrid\t40.1\t\U0001F5D1\nCy Diaz\t85")) << sorted["text"];
    EXPECT_EQ(page("return document.querySelector('[data-column=\"1\"]').getAttribute('aria-sort')"), "ascending");
}

TEST_F(PageAgent, WorksCustomWidgets) {
    open("widgets");
    json s = scan();
    EXPECT_EQ(field(s, "combobox", "Fruit", "value"), "Pick one");
    value("select", {{"ref", ref(s, "combobox", "Fruit")}, {"option", "Pear"}});
    EXPECT_EQ(field(scan(), "combobox", "Fruit", "value"), "Pear");
    value("fill", {{"ref", ref(s, "textbox", "Message")}, {"value", "Hello there"}});
    EXPECT_EQ(page("return document.querySelector('[contenteditable]').textContent"), "Hello there");
    EXPECT_EQ(field(scan(), "textbox", "Message", "value"), "Hello there");
    value("fill", {{"ref", ref(s, "textbox", "City")}, {"value", "Par"}});
    json after = scan();
    EXPECT_TRUE(element(after, "option", "Paris") && element(after, "option", "Parma"));
}

TEST_F(PageAgent, ChoosesInDropdownsOfWebComponentsAndClosesWhatItOpenedWhenTheOptionIsMissing) {
    open("dropdowns");
    json s = scan();
    std::string fruit = ref(s, "combobox", "Fruit"), size = ref(s, "combobox", "Size");
    // The chosen value, whether the component's list is closed and what closed it.
    auto state = [&](const std::string& tag) {
        return page("const c = document.querySelector('" + tag + "'); "
                    "return [c.value ?? null, c.shadowRoot.querySelector('[role=listbox]').hidden, c.closedBy ?? null]");
    };
    value("select", {{"ref", fruit}, {"option", "Pear"}});
    EXPECT_EQ(state("fruit-select"), json::array({"Pear", true, "option"})) << "options in its shadow root";
    value("select", {{"ref", size}, {"option", "large"}});
    EXPECT_EQ(state("size-select"), json::array({"Large", true, "option"})) << "options slotted into it";

    // Escape closes the first list; the second closes only on a second click.
    json mango = call("select", {{"ref", fruit}, {"option", "Mango"}});
    EXPECT_EQ(mango, json({{"ok", false}, {"code", "no_option"}, {"message", "Element " + fruit +
        " (combobox \"Fruit\") has no option \"Mango\". Its options: \"Apple\", \"Pear\", \"Plum\"."}}));
    EXPECT_EQ(state("fruit-select"), json::array({"Pear", true, "Escape"}));
    json huge = call("select", {{"ref", size}, {"option", "Huge"}});
    EXPECT_EQ(huge["message"], "Element " + size + " (combobox \"Size\") has no option \"Huge\". "
                               "Its options: \"Small\", \"Medium\", \"Large\".");
    EXPECT_EQ(state("size-select"), json::array({"Large", true, "click"}));
    json blue = call("select", {{"ref", ref(s, "combobox", "Colour")}, {"option", "Blue"}});
    EXPECT_TRUE(has(blue["message"], "Its options: \"Red\". The list the select opened did not close again: it is still open.")) << blue;
}

TEST_F(PageAgent, ASubframeNamesItsElementsAfterItsFrame) {
    serve("pay");
    open("checkout");
    ASSERT_TRUE(spinUntil([&] { return frames.size() >= 2; }));
    json main = scan(0);
    // The main frame's own world reaches the agent of a subframe of its origin,
    // as the web process does for the session.
    ASSERT_TRUE(spinUntil([&] { return call("probe", {{"text", "Pay now"}}, true) == json({{"ok", true}, {"value", "found"}}); }));
    json sub = call("scan", {{"floor", main["lastRef"]}, {"until", 1e15}}, true)["value"];
    EXPECT_EQ(sub["loadedFrom"], server.url("/pay"));
    EXPECT_NE(sub["frame"], main["frame"]);
    ASSERT_EQ(sub["elements"].size(), 2u);
    for (const auto& e : sub["elements"]) EXPECT_EQ(e["frame"], "Payment form");
    EXPECT_EQ(sub["elements"][0]["ref"], "e" + std::to_string(main["lastRef"].get<int>() + 1));
    EXPECT_FALSE(main["elements"][0].contains("frame")) << "the main frame's elements carry no frame";

    // Where the pointer goes, in the frame's own coordinates; the frame's
    // place under the top window, for the session to add its offset.
    json point = call("hover", {{"ref", sub["elements"][1]["ref"]}}, true)["value"];
    EXPECT_LT(point["y"].get<double>(), 200) << point;
    EXPECT_EQ(call("framePath", json::object(), true)["value"], json::array({0}));
}

TEST_F(PageAgent, KeepsItsRepliesReadableWhenThePageCutsACharacterInTwo) {
    open("broken");
    // Half of an emoji, as a page that cuts text by code units leaves it.
    page("document.getElementById('b').textContent = 'Save \\uD83D'; document.getElementById('p').textContent = '\\uDE00 done \\uD83D\\uDE00'");
    json s = scan();  // parsed strictly: a lone surrogate escape would throw
    EXPECT_EQ(s["elements"][0]["name"], "Save \xEF\xBF\xBD");
    EXPECT_EQ(s["text"], "Save \xEF\xBF\xBD\n\xEF\xBF\xBD done \xF0\x9F\x98\x80");
}

TEST_F(PageAgent, NamesAControlByTheLabelBesideItInItsField) {
    open("field-labels");
    json s = scan();
    EXPECT_EQ(field(s, "combobox", "Priority", "value"), "Normal") << s["elements"];
    EXPECT_EQ(field(s, "combobox", "Country", "tag"), "select");
    EXPECT_TRUE(element(s, "textbox", "Password")) << "a button beside the field takes no label";
    EXPECT_TRUE(element(s, "textbox", "Notes"));
    // One label over two fields, or a label tied to another field, names none of them.
    EXPECT_EQ(std::count_if(s["elements"].begin(), s["elements"].end(), [](const json& e) { return e["name"] == ""; }), 3);

    // A repeated action in a row of records is placed by the first text of its row.
    std::vector<std::string> rows;
    for (const auto& e : s["elements"]) {
        if (e["name"] == "Edit") rows.push_back(e.value("context", ""));
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"Ann Silva", "Bo Chen"}));
}

TEST_F(PageAgent, PlacesACalendarsDayInItsMonthNotBesideAnotherDay) {
    open("calendar");
    json s = scan();
    std::vector<std::string> contexts;
    for (const auto& e : s["elements"]) {
        if (e["name"] == "29") contexts.push_back(e.value("context", ""));
    }
    // A day of the month before or after is placed by its week, not in the month it is drawn in.
    EXPECT_EQ(contexts, (std::vector<std::string>{"28 29 30 31 1 2 3", "November 2024", "25 26 27 28 29 30 1", "December 2024"}));
}
