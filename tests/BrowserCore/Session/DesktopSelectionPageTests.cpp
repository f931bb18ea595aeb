// The desktop's primary selection (the middle click's text) and clipboard
// read through the display, as another program of the desktop reads them,
// while pages select and copy what fill typed stored values into. On a
// display of the test's own: the selections are the whole display's.

#include "BrowserCore/Secrets/SiteKey.h"
#include "BrowserCore/Session/DesktopSelection.h"
#include "RealInputPages.h"
#include "Support/ChildProcess.h"
#include "Support/LoopbackServer.h"
#include "Support/PrivateDisplay.h"

#include <gdk/x11/gdkx.h>
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

using namespace vesk;
using namespace vesk::test;

namespace {

const char* selectionPage = R"(<!doctype html>
<label>Token <input id="token"></label>
<p id="plain">Ordinary words</p>
<p id="echo">Your token: <span id="shown"></span></p>
<script>token.oninput = () => shown.textContent = token.value;</script>)";

// The texts another client of the display reads from the primary selection
// until it reads `awaited`, or the deadline passes: the selection's owner is
// only known to that client once the server has told it, a moment later.
// Another program of the desktop: a second connection to the display.
GdkClipboard* anotherProgramsSelection() {
    static GdkDisplay* other = gdk_display_open(nullptr);
    return gdk_display_get_primary_clipboard(other);
}

std::vector<std::string> readPrimaryUntil(const std::string& awaited) {
    GdkClipboard* primary = anotherProgramsSelection();
    std::vector<std::string> read;
    spinUntil([&] {
        std::optional<std::string> text;
        bool done = false;
        struct Reading {
            std::optional<std::string>* text;
            bool* done;
        } reading{&text, &done};
        gdk_clipboard_read_text_async(
            primary, nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                auto* reading = static_cast<Reading*>(data);
                char* got = gdk_clipboard_read_text_finish(GDK_CLIPBOARD(source), result, nullptr);
                if (got) *reading->text = got;
                g_free(got);
                *reading->done = true;
            },
            &reading);
        spinUntil([&] { return done; });
        if (text) read.push_back(*text);
        return text == awaited;
    });
    return read;
}

// What another program reads from a selection of the display ("primary",
// "clipboard") in one of its forms: xclip, on a connection of its own, which
// this process serves meanwhile. The reader has a deadline; a process that
// stops serving is ended by its parent's.
ProcessOutput readSelection(const char* selection, const char* form = "UTF8_STRING") {
    return runProcess({"timeout", "20", "xclip", "-o", "-selection", selection, "-t", form}, {}, seconds(30));
}

// The selection's text once it starts with `start`: the page's selection or
// copy reaches the desktop a moment after the page makes it.
std::string readOnceItStartsWith(const char* selection, const std::string& start) {
    std::string read;
    spinUntil([&] {
        read = readSelection(selection).output;
        return read.starts_with(start);
    });
    return read;
}

// Runs what this process has to do now, such as finishing the reading of a
// content it offers, until nothing is left ready to run.
void finishPendingWork() {
    spinUntil([] { return !g_main_context_pending(nullptr); });
}

bool holdsValue(const std::vector<std::string>& texts, const std::string& value) {
    return std::any_of(texts.begin(), texts.end(), [&](const auto& text) { return text.find(value) != std::string::npos; });
}

} // namespace

TEST(PrimarySelectionPage, StoredValuesReachTheDesktopOnlyAsTheirReferences) {
    if (!goesOnWithRealInput()) return;
    ASSERT_TRUE(GDK_IS_X11_DISPLAY(gdk_display_get_default())) << "reads the X server's primary selection";
    LoopbackServer server;
    server.serve("/", selectionPage);
    auto session = actionSession();
    const std::string value = "tok-5f3a9c71";
    session->setVariables({{*siteKeyOfURL(server.url("/")), {{"TOKEN", value}}}});
    PageSnapshot snapshot = runTask(session->navigate(server.url("/")));
    std::string field = refOf(snapshot, "textbox", "Token");
    runTask(session->fill(field, "${TOKEN}"));

    // The agent's Control+a in the field.
    runTask(session->press("Control+a", field));
    auto read = readPrimaryUntil("${TOKEN}");
    EXPECT_EQ(read.empty() ? "" : read.back(), "${TOKEN}");
    EXPECT_FALSE(holdsValue(read, value));
    // Another program taking the desktop's selection leaves the agent's
    // selection in the page as it was.
    gdk_clipboard_set_text(anotherProgramsSelection(), "elsewhere");
    ASSERT_TRUE(spinUntil([] { return !gdk_clipboard_is_local(gdk_display_get_primary_clipboard(gdk_display_get_default())); }));
    EXPECT_EQ(pageValue(session->page->get(), "[token.selectionStart, token.selectionEnd]"), nlohmann::json({0, 12}));

    // Ordinary text selected by the page goes to the desktop as it is; the
    // page's own select() of the field does not take the value there.
    pageValue(session->page->get(), "getSelection().selectAllChildren(plain); true");
    read = readPrimaryUntil("Ordinary words");
    EXPECT_EQ(read.empty() ? "" : read.back(), "Ordinary words");
    pageValue(session->page->get(), "token.select(); true");
    read = readPrimaryUntil("${TOKEN}");
    EXPECT_EQ(read.empty() ? "" : read.back(), "${TOKEN}");
    EXPECT_FALSE(holdsValue(read, value));
    // Nor does a selection of the page's copy of it among other words.
    pageValue(session->page->get(), "getSelection().selectAllChildren(echo); true");
    read = readPrimaryUntil("Your token: ${TOKEN}");
    EXPECT_EQ(read.empty() ? "" : read.back(), "Your token: ${TOKEN}");
    EXPECT_FALSE(holdsValue(read, value));

    // The person's own selection of a word, by a double click in a window
    // that shows the page, reaches the desktop.
    RealInput* input = RealInput::get();
    WebKitWebView* view = session->page->get();
    session->unstage(view);
    Shown shown(view, 800, 600);
    ASSERT_TRUE(spinUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(view)); }));
    double y = centreOf(view, "#plain").second;
    input->focus(GTK_WIDGET(view));
    // The first word, whatever its width: the paragraph starts at the left.
    input->click(GTK_WIDGET(view), 12, y);
    input->click(GTK_WIDGET(view), 12, y);
    read = readPrimaryUntil("Ordinary");
    EXPECT_EQ(read.empty() ? "" : read.back(), "Ordinary");
}

// A content with no text at all (an image alone) is left to the desktop; one
// that offers text only in a form the watch does not read is taken off.
TEST(PrimarySelectionPage, AnImageStaysAndTextTheWatchCannotReadGoes) {
    if (!onPrivateDisplay()) {
        auto outcome = rerunOnPrivateDisplay();
        if (outcome.result == ChildOutcome::Result::skipped) GTEST_SKIP() << outcome.output;
        EXPECT_EQ(outcome.result, ChildOutcome::Result::passed) << outcome.output;
        return;
    }
    ASSERT_TRUE(gdk_display_get_default());
    int asked = 0;
    GdkClipboard* primary = gdk_display_get_primary_clipboard(gdk_display_get_default());
    DesktopSelectionWatch watch(primary, [&](std::string_view text) { return ++asked, std::string(text); });
    auto offered = [&](const char* type, const char* bytes) {
        GBytes* data = g_bytes_new_static(bytes, strlen(bytes));
        GdkContentProvider* content = gdk_content_provider_new_for_bytes(type, data);
        g_bytes_unref(data);
        gdk_clipboard_set_content(primary, content);
        bool kept = gdk_clipboard_get_content(primary) == content;
        g_object_unref(content);
        return kept;
    };
    EXPECT_TRUE(offered("image/png", "\x89PNG"));
    EXPECT_FALSE(offered("text/html", "<b>tok-5f3a9c71</b>"));
    EXPECT_EQ(asked, 0);
}

// A selection of any size is read by another program, whole or its first
// 4 MiB (up to a character's end), and the session answers after each read: GTK serves a text it was
// given, once it takes more than one X request (256 KiB), in a way that stops
// the main loop for good. The same for the clipboard, where the person's
// copy key puts the selection.
TEST(DesktopSelectionPage, ASelectionOfAnySizeIsReadAndTheSessionGoesOn) {
    if (!goesOnWithRealInput()) return;
    LoopbackServer server;
    server.serve("/", "<!doctype html><pre id=long></pre>");
    auto session = actionSession();
    runTask(session->navigate(server.url("/")));
    WebKitWebView* view = session->page->get();
    session->unstage(view);
    Shown shown(view, 800, 600);
    ASSERT_TRUE(spinUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(view)); }));
    RealInput::get()->focus(GTK_WIDGET(view));
    // Lines of characters of three bytes each: the page lays a third as many
    // characters out as for Latin words of the same size, several times
    // sooner, and the cut after 4 MiB falls inside a character.
    std::string line;
    for (int i = 0; i < 50; i++) line += "\u2501";
    for (int size : {100'000, 1'000'000, 5'000'000}) {
        std::string start = std::to_string(size) + "\n";
        std::string text = pageValue(view, "long.textContent = '" + std::to_string(size) + "\\n' + '" + line +
                                               "\\n'.repeat(" + std::to_string(size / (line.size() + 1)) +
                                               ") + 'The end.'; getSelection().selectAllChildren(long); "
                                               "getSelection().toString()");
        std::size_t end = std::min<std::size_t>(text.size(), 4 * 1024 * 1024);
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
        std::string expected = text.substr(0, end);
        std::string read = readOnceItStartsWith("primary", start);
        EXPECT_TRUE(read == expected) << size << " bytes selected, " << read.size() << " read";
        EXPECT_EQ(runTask(session->scan()).url, server.url("/"));

        RealInput::get()->key("c", "Control_L");
        read = readOnceItStartsWith("clipboard", start);
        EXPECT_TRUE(read == expected) << size << " bytes copied, " << read.size() << " read";
        EXPECT_EQ(runTask(session->scan()).url, server.url("/"));
    }
}

// A stored value in a selection's markup (a link's address, a field's
// value, an option, an image's text, a data attribute) reaches the desktop
// in no form the selection is offered in; ordinary markup is offered as it
// was.
TEST(DesktopSelectionPage, NoFormOfASelectionHoldsAStoredValue) {
    if (!goesOnWithRealInput()) return;
    LoopbackServer server;
    serveFixtures(server, {"selection-markup.html"});
    auto session = actionSession();
    const std::string value = "tok-5f3a9c71";
    session->setVariables({{*siteKeyOfURL(server.url("/")), {{"TOKEN", value}}}});
    runTask(session->navigate(server.url("/selection-markup")));
    auto forms = [] {
        std::vector<std::string> forms;
        std::istringstream listed(readSelection("primary", "TARGETS").output);
        for (std::string form; std::getline(listed, form);) {
            if (form != "TARGETS" && form != "TIMESTAMP" && form != "SAVE_TARGETS") forms.push_back(form);
        }
        return forms;
    };
    for (const char* id : {"link", "field", "option", "image", "data", "plain"}) {
        pageValue(session->page->get(), std::string("getSelection().selectAllChildren(") + id + "); true");
        std::string start = pageValue(session->page->get(), "getSelection().toString().slice(0, 3)");
        readOnceItStartsWith("primary", start);
        finishPendingWork();
        auto offered = forms();
        EXPECT_FALSE(offered.empty()) << id;
        for (const auto& form : offered) {
            EXPECT_FALSE(holdsValue({readSelection("primary", form.c_str()).output}, value)) << id << " as " << form;
        }
        if (std::string(id) == "plain") {
            EXPECT_NE(readSelection("primary", "text/html").output.find(">bold</b>"), std::string::npos);
        }
    }
}

// A page's copy while the agent clicks, however the page makes it, reaches
// the desktop's clipboard only with the stored value's reference; what the
// person copies with their own keys is copied as it is.
TEST(ClipboardPage, APagesCopyDuringTheAgentsClickHoldsOnlyTheReference) {
    if (!goesOnWithRealInput()) return;
    LoopbackServer server;
    serveFixtures(server, {"page-copies.html"});
    auto session = actionSession();
    const std::string value = "Hunter-77-pass";
    session->setVariables({{*siteKeyOfURL(server.url("/")), {{"acme.password", value}}}});
    PageSnapshot page = runTask(session->navigate(server.url("/page-copies")));
    runTask(session->fill(refOf(page, "textbox", "Password"), "${acme.password}"));
    for (auto [button, start] : {std::pair{"By command", "command: "}, {"By the clipboard API", "api: "},
                                 {"By the copy event", "event: "}}) {
        runTask(session->click(refOf(page, "button", button)));
        EXPECT_EQ(readOnceItStartsWith("clipboard", start), std::string(start) + "${acme.password}");
    }
    finishPendingWork();
    EXPECT_FALSE(holdsValue({readSelection("clipboard", "text/html").output}, value));

    WebKitWebView* view = session->page->get();
    session->unstage(view);
    Shown shown(view, 800, 600);
    ASSERT_TRUE(spinUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(view)); }));
    RealInput* input = RealInput::get();
    input->focus(GTK_WIDGET(view));
    auto [x, y] = centreOf(view, "#echo");
    input->click(GTK_WIDGET(view), x, y);
    ASSERT_TRUE(spinUntil([&] { return pageValue(view, "document.activeElement === echo") == true; }));
    input->key("a", "Control_L");
    input->key("c", "Control_L");
    EXPECT_EQ(readOnceItStartsWith("clipboard", "Hunter"), value);
}
