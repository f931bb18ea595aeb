// Keys on real pages: what a key does in text fields, textareas and editors
// (a framework-controlled field, an editor in a frame of the same site),
// where a key without a ref goes, what lists, sliders, checkboxes, buttons,
// links and scrolling boxes do for a key, and where copied text may go.

#include "BrowserCore/Secrets/SiteKey.h"
#include "SessionPages.h"

using namespace vesk;
using namespace vesk::test;

namespace {

struct Keys {
    LoopbackServer server;
    std::shared_ptr<BrowserSession> session = actionSession();
    PageSnapshot page;

    explicit Keys(std::initializer_list<const char*> pages) {
        serveFixtures(server, pages);
        std::string first = *pages.begin();
        page = runTask(session->navigate(server.url("/" + first.substr(0, first.size() - 5))));
    }
    WebKitWebView* view() const { return session->page->get(); }
    std::string ref(const std::string& role, const std::string& name) const { return refOf(page, role, name); }
    // Presses the key through the page agent (the focus's frame, or the ref's).
    void press(const std::string& key, std::optional<std::string> ref = std::nullopt) {
        nlohmann::json args{{"key", key}};
        if (ref) args["ref"] = *ref;
        runTask(session->agentCall("press", args));
    }
    void pressAll(std::initializer_list<const char*> keys) {
        for (const char* key : keys) press(key);
    }
    nlohmann::json value(const std::string& script) const { return pageValue(view(), script); }
};

} // namespace

TEST(KeyPress, EditsAndMovesInTextFieldsAsAPersonTypes) {
    Keys keys({"keys-fields.html"});
    const std::string name = keys.ref("textbox", "Name");
    runTask(keys.session->fill(name, "hello world"));
    auto field = [&] { return keys.value("[name.value, state.name]"); };
    auto is = [](const char* text) { return nlohmann::json::array({text, text}); };

    keys.pressAll({"Home", "x"});
    EXPECT_EQ(field(), is("xhello world"));
    keys.pressAll({"Control+ArrowRight", "Delete"});
    EXPECT_EQ(field(), is("xhelloworld"));
    keys.press("Control+Backspace");
    EXPECT_EQ(field(), is("world"));
    keys.pressAll({"End", "ArrowLeft", "ArrowLeft", "Backspace"});
    EXPECT_EQ(field(), is("wold"));
    keys.pressAll({"Shift+End", "Shift+x"});
    EXPECT_EQ(field(), is("woX")) << "a character replaces the selection";
    keys.pressAll({"Control+a", "z"});
    EXPECT_EQ(field(), is("z"));

    const std::string notes = keys.ref("textbox", "Notes");
    runTask(keys.session->fill(notes, "one\ntwo\nthree"));
    keys.pressAll({"Control+Home", "ArrowDown", "End", "!"});
    EXPECT_EQ(keys.value("notes.value"), "one\ntwo!\nthree");
    keys.pressAll({"Control+End", "Enter", "4", "ArrowUp", "Home", "Backspace"});
    EXPECT_EQ(keys.value("notes.value"), "one\ntwo!three\n4");
    keys.pressAll({"Shift+ArrowUp", "Delete"});
    EXPECT_EQ(keys.value("notes.value"), "onethree\n4") << "Shift with a line move selects up to the line above";
}

TEST(KeyPress, AKeyWithoutARefTypesWhereTheFocusIsInAnEditorFrame) {
    Keys keys({"keys-editor.html", "keys-editor-area.html"});
    keys.page = snapshotShowing(*keys.session, keys.page, "textbox", "Post");
    runTask(keys.session->click(keys.ref("textbox", "Post")));
    for (const char* key : {"End", "Enter", "x", "Control+End", "Enter", "y"}) runTask(keys.session->press(key));
    EXPECT_EQ(keys.value("document.querySelector('iframe').contentDocument.body.innerHTML.trim()"),
              "<p>First line</p><p>x</p><p>Second line</p><p>y</p>");
}

TEST(KeyPress, AKeyWithoutARefSaysSoWhenTheFocusIsInAFrameOfAnotherSite) {
    Keys keys({"keys-other-site.html", "keys-card.html"});
    keys.page = snapshotShowing(*keys.session, keys.page, "textbox", "Card number");
    const std::string card = keys.ref("textbox", "Card number");
    // The page hands the focus to the frame, as a person's click into it would.
    keys.value("document.querySelector('iframe').focus(); document.activeElement.localName");
    runTask(keys.session->click(card));
    auto error = browserErrorOf(keys.session->press("4"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->failure(), BrowserError::ElementFailure::notFound);
    EXPECT_EQ(error->description(), "The focus is in a frame of another site, which a key without a ref cannot reach. "
                                    "Press the key with the ref of the field in that frame (a snapshot lists the "
                                    "frame's elements), and the key goes there.");
    EXPECT_EQ(keys.value("heard"), nlohmann::json::array()) << "nothing was pressed on the page around the frame";
    runTask(keys.session->press("4", card));
    PageSnapshot after = runTask(keys.session->scan());
    auto typed = std::find_if(after.elements.begin(), after.elements.end(), [&](auto& e) { return e.ref == card; });
    ASSERT_NE(typed, after.elements.end());
    EXPECT_EQ(typed->value, "4");
}

// As a person's click would, the agent's click on a field in a frame of
// another site gives that frame the focus, so that a key without a ref never
// lands on the page around it.
TEST(KeyPress, AKeyWithoutARefAfterAClickInAFrameOfAnotherSiteNeverLandsAroundIt) {
    Keys keys({"keys-other-site.html", "keys-card.html"});
    keys.page = snapshotShowing(*keys.session, keys.page, "textbox", "Card number");
    runTask(keys.session->click(keys.ref("textbox", "Card number")));
    auto error = browserErrorOf(keys.session->press("x"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description().rfind("The focus is in a frame of another site", 0), 0u) << error->description();
    EXPECT_EQ(keys.value("heard"), nlohmann::json::array()) << "nothing was pressed on the page around the frame";
}

TEST(KeyPress, ControlsDoWhatTheBrowserDoesForTheirKeys) {
    Keys keys({"keys-controls.html"});
    auto heard = [&] { return keys.value("heard.splice(0)"); };
    using Heard = nlohmann::json;

    keys.press("Enter", keys.ref("button", "Go"));
    EXPECT_EQ(heard(), Heard({"keydown Enter Enter 13 13", "keypress Enter Enter 13 13", "click go",
                              "keyup Enter Enter 13 13"}));
    keys.press("Space");
    EXPECT_EQ(heard(), Heard({"keydown   Space 32 32", "keypress   Space 32 32", "keyup   Space 32 32", "click go"}))
        << "Space clicks a button when it is let go";
    keys.press("Shift+Tab");
    EXPECT_EQ(heard(), Heard({"keydown Shift ShiftLeft 16 16", "keydown Tab Tab 9 9", "keyup Tab Tab 9 9",
                              "keyup Shift ShiftLeft 16 16"}));
    EXPECT_EQ(keys.value("document.activeElement.id"), "card");

    keys.pressAll({"Enter", "Space"});
    EXPECT_EQ(heard(), Heard({"keydown Enter Enter 13 13", "keypress Enter Enter 13 13", "keyup Enter Enter 13 13",
                              "keydown   Space 32 32", "keypress   Space 32 32", "keyup   Space 32 32"}))
        << "a focusable div is not clicked by a key";
    keys.press("Enter", keys.ref("checkbox", "Agree"));
    EXPECT_EQ(keys.value("agree.checked"), false) << "Enter does not click a checkbox";
    keys.press("Space");
    EXPECT_EQ(keys.value("agree.checked"), true);

    heard();
    keys.press("ArrowDown", keys.ref("combobox", "Size"));
    EXPECT_EQ(keys.value("size.value"), "Medium");
    EXPECT_EQ(heard().back(), "keyup ArrowDown ArrowDown 40 40");
    keys.pressAll({"ArrowDown", "ArrowDown"});
    EXPECT_EQ(keys.value("size.value"), "Large");

    heard();
    keys.press("ArrowRight", keys.ref("slider", "Volume"));
    EXPECT_EQ(keys.value("volume.value"), "55");
    EXPECT_EQ(heard(), Heard({"keydown ArrowRight ArrowRight 39 39", "input volume", "change volume",
                              "keyup ArrowRight ArrowRight 39 39"}));
    keys.press("PageDown");
    EXPECT_EQ(keys.value("volume.value"), "45");
    keys.press("End");
    EXPECT_EQ(keys.value("volume.value"), "100");

    keys.press("Tab", keys.ref("button", "Go"));
    keys.pressAll({"ArrowDown", "PageDown"});
    EXPECT_EQ(keys.value("[box.scrollTop, scrollY]"), Heard({40 + 80, 0}));
    keys.press("End");
    EXPECT_EQ(keys.value("box.scrollTop"), 900);

    keys.press("Enter", keys.ref("link", "Docs"));
    EXPECT_EQ(keys.value("location.hash"), "#followed");
}

// The text a copy key takes stays in the session: the desktop's clipboard
// never gets it. Taken from a field that fill typed a stored value into, even
// in part, it pastes only into a page of that value's own origin: a page of
// another site is refused and hears nothing. Other text pastes anywhere.
TEST(KeyPress, CopiedTextHoldingAStoredValuePastesOnlyWhereItCameFrom) {
    Keys keys({"keys-clipboard.html"});
    keys.session->setVariables({{siteKeyOfURL(keys.server.url("/")).value(), {{"CODE", "Qx7-Secret-42"}}}});
    const std::string otherSite = keys.server.url("/keys-clipboard", "localhost");
    auto pasteElsewhere = [&] {
        keys.page = runTask(keys.session->navigate(otherSite));
        return keys.session->press("Control+v", keys.ref("textbox", "Notes"));
    };

    auto press = [&](std::initializer_list<const char*> pressed) {
        for (const char* key : pressed) runTask(keys.session->press(key));
    };
    runTask(keys.session->fill(keys.ref("textbox", "Item"), "Milk"));
    press({"Control+a", "Control+c"});
    runTask(pasteElsewhere());
    EXPECT_EQ(keys.value("notes.value"), "Milkone\ntwo");

    keys.page = runTask(keys.session->navigate(keys.server.url("/keys-clipboard")));
    runTask(keys.session->fill(keys.ref("textbox", "Item"), "${CODE}"));
    press({"End", "Shift+ArrowLeft", "Shift+ArrowLeft", "Control+c"});
    GdkContentFormats* formats = gdk_clipboard_get_formats(gdk_display_get_clipboard(gdk_display_get_default()));
    gsize types = 0;
    gdk_content_formats_get_mime_types(formats, &types);
    EXPECT_EQ(types, 0u) << "the desktop's clipboard holds nothing";
    auto error = browserErrorOf(pasteElsewhere());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description(), "The copied text holds a stored value, which is pasted only into pages of the site "
                                    "it was copied from; this page is of another site, so nothing was pasted. Fill the "
                                    "field with the value's reference instead.");
    EXPECT_EQ(keys.value("[notes.value, heard]"), nlohmann::json({"one\ntwo", nlohmann::json::array()}));

    keys.page = runTask(keys.session->navigate(keys.server.url("/keys-clipboard")));
    runTask(keys.session->press("Control+v", keys.ref("textbox", "Notes")));
    EXPECT_EQ(keys.value("notes.value"), "42one\ntwo");
}
