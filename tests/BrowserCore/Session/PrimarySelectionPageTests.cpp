// The desktop's primary selection (the middle click's text) read through the
// display, as another program of the desktop reads it, while pages select
// fields that fill typed stored values into. On a display of the test's own:
// the selection is the whole display's.

#include "BrowserCore/Secrets/SiteKey.h"
#include "BrowserCore/Session/PrimarySelection.h"
#include "RealInputPages.h"
#include "Support/LoopbackServer.h"
#include "Support/PrivateDisplay.h"

#include <gdk/x11/gdkx.h>
#include <gtest/gtest.h>

#include <cstring>

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
    PrimarySelectionWatch watch([&](std::string_view text) { return ++asked, std::string(text); });
    GdkClipboard* primary = gdk_display_get_primary_clipboard(gdk_display_get_default());
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
