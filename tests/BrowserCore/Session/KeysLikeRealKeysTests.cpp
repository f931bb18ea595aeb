// The page agent's keys next to a person's real keys, made by the X server,
// on the same pages: each sequence runs both ways on a fresh load of the
// page, and after each checked key the page must read the same. Clipboard
// keys in a framework's field, an editor and a textarea, and Tab back into
// that textarea; a JSON body in a frame of another site; Tab through an
// editor in a frame between links; a search field that filters a list and a
// select.

#include "RealInputPages.h"

using namespace vesk;
using namespace vesk::test;

namespace {

// A key as press names it; the person's keyboard sends its X keysym, with
// Control or Shift held.
struct Key {
    std::string pressed;
    nlohmann::json expected;  // what the page reads after it; null: not checked
    bool withoutRef = false;  // the agent presses it where the focus is
};

struct Sent {
    std::string keysym;
    const char* modifier = nullptr;
};

Sent asSent(const std::string& pressed) {
    static const std::map<std::string, std::string> names{
        {"Enter", "Return"}, {"Backspace", "BackSpace"}, {"ArrowUp", "Up"}, {"ArrowDown", "Down"},
        {"ArrowLeft", "Left"}, {"ArrowRight", "Right"}};
    Sent sent;
    std::string key = pressed;
    if (auto plus = pressed.find('+'); plus != std::string::npos && pressed.size() > 1) {
        sent.modifier = pressed.substr(0, plus) == "Control" ? "Control_L" : "Shift_L";
        key = pressed.substr(plus + 1);
    }
    auto named = names.find(key);
    sent.keysym = named != names.end() ? named->second : key;
    return sent;
}

struct BothWays {
    LoopbackServer server;
    std::shared_ptr<BrowserSession> session = actionSession();
    Shown shown{session->page->get(), 900, 700};
    RealInput& input = *RealInput::get();
    std::string path;
    // Scripts of the page's own world: what is compared, and what forgets
    // the events heard once they were.
    std::string observe;
    std::string forget;
    PageSnapshot page;

    BothWays(std::initializer_list<const char*> pages, std::string observed, std::string forgets = "0")
        : observe(std::move(observed)), forget(std::move(forgets)) {
        serveFixtures(server, pages);
        std::string first = *pages.begin();
        path = "/" + first.substr(0, first.size() - 5);
    }
    WebKitWebView* view() const { return session->page->get(); }
    nlohmann::json read() const { return pageValue(view(), observe); }
    void load() {
        page = runTask(session->navigate(server.url(path)));
        GtkWidget* widget = GTK_WIDGET(view());
        ASSERT_TRUE(spinUntil([&] { return gtk_widget_get_mapped(widget) && gtk_widget_get_width(widget) > 100; }));
    }
    std::string ref(const std::string& role, const std::string& name) {
        page = snapshotShowing(*session, page, role, name);
        return refOf(page, role, name);
    }
    // Waits until the page reads as expected, then forgets what it heard.
    bool reads(const nlohmann::json& expected, const char* who, const std::string& key) const {
        nlohmann::json got;
        bool same = spinUntil([&] { return (got = read()) == expected; }, seconds(10));
        EXPECT_TRUE(same) << who << " after " << key << ": " << got.dump() << ", not " << expected.dump();
        pageValue(view(), forget);
        return same;
    }

    // A person: the page in the window with the keyboard, a real click on
    // the element of the selector, real keys.
    void byPerson(const std::string& clickOn, const std::function<void()>& setUp, const std::vector<Key>& keys) {
        load();
        input.focus(GTK_WIDGET(view()));
        // Keys typed before the click has landed would go elsewhere.
        pageValue(view(), "window.clicked = false; addEventListener('mouseup', () => { clicked = true; }, true)");
        auto [x, y] = centreOf(view(), clickOn);
        input.click(GTK_WIDGET(view()), x, y);
        ASSERT_TRUE(spinUntil([&] {
            return pageValue(view(), "clicked || document.activeElement.localName === 'iframe'") == true;
        }));
        if (setUp) setUp();
        pageValue(view(), forget);
        for (const Key& key : keys) {
            Sent sent = asSent(key.pressed);
            if (sent.keysym.size() == 1 && !sent.modifier) input.type(sent.keysym);
            else input.key(sent.keysym.c_str(), sent.modifier);
            if (!key.expected.is_null() && !reads(key.expected, "real keys", key.pressed)) return;
        }
    }

    // The agent: the same page loaded again, its own set-up, each key by
    // press, with the ref the set-up gave when it gave one.
    std::optional<std::string> pressRef;
    void byAgent(const std::function<void()>& setUp, const std::vector<Key>& keys) {
        load();
        if (setUp) setUp();
        pageValue(view(), forget);
        for (const Key& key : keys) {
            runTask(session->press(key.pressed, key.withoutRef ? std::nullopt : pressRef));
            if (!key.expected.is_null() && !reads(key.expected, "press", key.pressed)) return;
        }
    }
};

using Heard = nlohmann::json;

} // namespace

TEST(KeysLikeRealKeys, ClipboardKeysCopyCutAndPasteInAFieldAnEditorAndATextarea) {
    if (!goesOnWithRealInput()) return;
    BothWays both({"keys-clipboard.html"}, "[item.value, state.item, editor.innerText.trim(), notes.value, heard]",
                  "heard.length = 0");
    auto reads = [](const char* item, const char* editor, const char* notes, Heard heard) {
        return Heard{item, item, editor, notes, std::move(heard)};
    };
    const char* lines = "First line\n\nSecond line";
    const char* more = "First line\n\nSecond line\n\nFirst line";
    const std::vector<Key> keys{
        {"Control+a", nullptr},
        {"Control+x", reads("", lines, "one\ntwo", {"cut item", "beforeinput item deleteByCut", "input item deleteByCut"})},
        {"Control+v", nullptr},
        {"Control+v", reads("MilkMilk", lines, "one\ntwo",
                            {"paste item Milk", "beforeinput item insertFromPaste Milk", "input item insertFromPaste Milk",
                             "paste item Milk", "beforeinput item insertFromPaste Milk", "input item insertFromPaste Milk"})},
        {"Tab", nullptr},
        {"Tab", nullptr},
        {"Tab", nullptr},
        // The editor's first line, copied and pasted at its end through the
        // page's own paste handler.
        {"Control+Home", nullptr},
        {"Shift+End", nullptr},
        {"Control+c", reads("MilkMilk", lines, "one\ntwo", {"copy editor"})},
        {"Control+End", nullptr},
        {"Enter", nullptr},
        {"Control+v", reads("MilkMilk", more, "one\ntwo",
                            {"beforeinput editor insertParagraph", "input editor insertParagraph", "paste editor First line",
                             "beforeinput editor insertText First line", "input editor insertText First line"})},
        // The textarea: Shift+Insert pastes, Shift+Delete cuts.
        {"Tab", nullptr},
        {"Control+End", nullptr},
        {"Enter", nullptr},
        {"Shift+Insert", reads("MilkMilk", more, "one\ntwo\nFirst line",
                               {"beforeinput notes insertLineBreak", "input notes insertLineBreak", "paste notes First line",
                                "beforeinput notes insertFromPaste First line", "input notes insertFromPaste First line"})},
        {"Control+Home", nullptr},
        {"Shift+End", nullptr},
        {"Shift+Delete", reads("MilkMilk", more, "\ntwo\nFirst line",
                               {"cut notes", "beforeinput notes deleteByCut", "input notes deleteByCut"})},
        {"Control+v", reads("MilkMilk", more, "one\ntwo\nFirst line",
                            {"paste notes one", "beforeinput notes insertFromPaste one", "input notes insertFromPaste one"})},
    };
    both.byPerson("#item", [&] {
        both.input.type("Milk");
        ASSERT_TRUE(spinUntil([&] { return both.read()[1] == "Milk"; }));
    }, keys);
    both.byAgent([&] { runTask(both.session->fill(both.ref("textbox", "Item"), "Milk")); }, keys);
}

// Tab or Shift+Tab into a textarea puts the caret at its start, wherever it
// was left there; a shifted digit keeps the key code of its digit.
TEST(KeysLikeRealKeys, TabIntoATextareaPutsTheCaretAtItsStartAndShiftedDigitsKeepTheirKeyCodes) {
    if (!goesOnWithRealInput()) return;
    BothWays both({"keys-clipboard.html"},
                  "[notes.value, state.notes, notes.selectionStart, notes.selectionEnd, document.activeElement.id, typed]",
                  "typed.length = 0");
    auto reads = [](const char* notes, int caret, const char* focus, Heard typed = Heard::array()) {
        return Heard{notes, notes, caret, caret, focus, std::move(typed)};
    };
    const std::vector<Key> keys{
        {"Tab", nullptr},
        {"Tab", nullptr},
        {"Tab", nullptr},
        {"Tab", reads("one\ntwo", 0, "notes")},
        {"Control+End", nullptr},
        {"!", nullptr},
        {"@", reads("one\ntwo!@", 9, "notes", {"! 49", "@ 50"})},
        {"Tab", reads("one\ntwo!@", 9, "save")},
        {"Shift+Tab", reads("one\ntwo!@", 0, "notes")},
        {"Z", reads("Zone\ntwo!@", 1, "notes", {"Z 90"})},
    };
    both.byPerson("#item", nullptr, keys);
    both.byAgent([&] { runTask(both.session->click(both.ref("textbox", "Item"))); }, keys);
}

TEST(KeysLikeRealKeys, KeysWithTheRefOfATextareaInAFrameOfAnotherSiteEditWhereTheCaretIs) {
    if (!goesOnWithRealInput()) return;
    BothWays both({"keys-console.html", "keys-body-editor.html"},
                  "[request.body, request.valid, document.activeElement.id]");
    auto body = [](const char* name, const char* age, const char* end, bool valid, const char* focus = "editor") {
        return Heard{std::string("{\n") + name + "\"name\": \"Ann\"" + end + "\n  \"age\": " + age + "\n}", valid, focus};
    };
    const std::vector<Key> keys{
        {"Control+End", nullptr},
        {"ArrowUp", nullptr},
        {"End", nullptr},
        {"Backspace", body("  ", "4", ",", true)},
        {"1", body("  ", "41", ",", true)},
        {"ArrowUp", nullptr},
        {"Home", nullptr},
        {"Delete", nullptr},
        {"Delete", body("", "41", ",", true)},
        {"End", nullptr},
        {"Backspace", body("", "41", "", false)},
        {",", body("", "41", ",", true)},
        {"Control+Home", nullptr},
        {"ArrowDown", nullptr},
        {"ArrowDown", nullptr},
        {"End", nullptr},
        {"Control+ArrowLeft", nullptr},
        {"Shift+End", nullptr},
        {"4", body("", "4", ",", true)},
        {"2", body("", "42", ",", true)},
        {"Control+Backspace", body("", "", ",", false)},
        {"7", body("", "7", ",", true)},
        // ArrowUp from the line below an empty line stops on it.
        {"Enter", nullptr},
        {"ArrowDown", nullptr},
        {"End", nullptr},
        {"ArrowUp", nullptr},
        {" ", body("", "7\n ", ",", true)},
        // Tab leaves the frame for what follows it on the page.
        {"Tab", body("", "7\n ", ",", true, "send"), true},
    };
    both.byPerson("iframe", [&] {
        ASSERT_TRUE(spinUntil([&] { return both.read()[1] == true; }));
    }, keys);
    both.byAgent([&] {
        both.pressRef = both.ref("textbox", "JSON body");
        runTask(both.session->click(*both.pressRef));
    }, keys);

    // The caret stands at the end of the text at first.
    both.load();
    std::string area = both.ref("textbox", "JSON body");
    runTask(both.session->click(area));
    runTask(both.session->press("Backspace", area));
    EXPECT_TRUE(both.reads(Heard{"{\n  \"name\": \"Ann\",\n  \"age\": 40\n", false, "editor"}, "press", "Backspace"));
}

TEST(KeysLikeRealKeys, TabAndShiftTabWalkThePageThroughAnEditorFrameAndLeaveACaret) {
    if (!goesOnWithRealInput()) return;
    BothWays both({"keys-editor-links.html", "keys-editor-area.html"},
                  "[document.activeElement.id, title.value, [...frame.contentDocument.body.children].map(p => p.textContent)]");
    auto reads = [](const char* focus, const char* title, const char* first) {
        return Heard{focus, title, {first, "Second line"}};
    };
    const std::vector<Key> keys{
        {"Tab", reads("posts", "Draft", "First line")},
        {"Tab", reads("title", "Draft", "First line")},
        {"N", reads("title", "N", "First line")},
        {"Tab", reads("frame", "N", "First line")},
        {"x", reads("frame", "N", "xFirst line")},
        {"Tab", reads("help", "N", "xFirst line")},
        {"Shift+Tab", reads("frame", "N", "xFirst line")},
        {"y", reads("frame", "N", "xyFirst line")},
        {"Shift+Tab", reads("title", "N", "xyFirst line")},
        {"M", reads("title", "M", "xyFirst line")},
        {"Shift+Tab", reads("posts", "M", "xyFirst line")},
    };
    both.byPerson("#heading", [&] {
        ASSERT_TRUE(spinUntil([&] { return both.read()[2][0] == "First line"; }));
    }, keys);
    both.byAgent([&] {
        ASSERT_TRUE(spinUntil([&] { return both.read()[2][0] == "First line"; }));
    }, keys);
}

TEST(KeysLikeRealKeys, EscapeEmptiesASearchFieldAndHomeAndEndChooseTheEndsOfASelect) {
    if (!goesOnWithRealInput()) return;
    BothWays both({"keys-search.html"}, "[filter.value, results.children.length, sort.value, heard]", "heard.length = 0");
    const std::vector<Key> keys{
        {"Escape", Heard{"", 8, "Name", {"input filter Event"}}},
        {"Escape", Heard{"", 8, "Name", Heard::array()}},
        {"Tab", nullptr},
        {"End", Heard{"", 8, "Joined", {"input sort Event", "change sort Event"}}},
        {"Home", Heard{"", 8, "Name", {"input sort Event", "change sort Event"}}},
    };
    both.byPerson("#filter", [&] {
        both.input.type("an");
        ASSERT_TRUE(spinUntil([&] { return both.read()[1] == 5; }));
    }, keys);
    both.byAgent([&] { runTask(both.session->fill(both.ref("searchbox", "Filter"), "an")); }, keys);
}
