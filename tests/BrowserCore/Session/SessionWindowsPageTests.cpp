// Popups, the active window, dialogs and file choosers on real pages.

#include "SessionPages.h"
#include "Support/LoopbackServer.h"

#include <gtest/gtest.h>

using namespace vesk;
using namespace vesk::test;

namespace {

using Kind = DialogRecord::Kind;

std::vector<std::string> windowIDs(const BrowserSession& session) {
    std::vector<std::string> ids;
    for (const auto& window : session.windows()) ids.push_back(window.id);
    return ids;
}

void expectNoWindow(const std::function<void()>& action, const std::string& id) {
    try {
        action();
        ADD_FAILURE() << "expected no window " << id;
    } catch (const BrowserError& error) {
        EXPECT_EQ(error.kind(), BrowserError::Kind::noWindow);
        EXPECT_EQ(error.detail(), id);
    }
}

bool loaded(WebKitWebView* view, const std::string& url) {
    return spinUntil([&] {
        const char* uri = webkit_web_view_get_uri(view);
        return uri && url == uri && !webkit_web_view_is_loading(view);
    });
}

} // namespace

TEST(SessionWindows, APopupBecomesTheActiveWindowAndDrawsOffScreen) {
    LoopbackServer server;
    server.serve("/", "<button>Opener</button>");
    server.serve("/popup", "<button>In popup</button>");
    LoopbackServer::Response held;
    held.hold = true;
    server.serve("/held", held);
    auto session = BrowserSession::create({});
    ASSERT_TRUE(loadPage(*session, server.url("/")));

    // The popup's page is made at the popup's size, not its opener's: its
    // load and scripts never see another, even before the stage draws again.
    EXPECT_EQ(pageValue(session->page->get(), "const w = window.open('/popup'); [w.innerWidth, w.innerHeight]"),
              nlohmann::json::parse("[520, 640]"));
    ASSERT_TRUE(spinUntil([&] { return session->popups->size() == 1; }));
    WebKitWebView* popup = session->popups->front().get();
    EXPECT_EQ(session->activeWindowID(), "w1");
    EXPECT_EQ(session->dialogs.records, (std::vector<DialogRecord>{{Kind::popup, server.url("/popup")}}));
    ASSERT_TRUE(loaded(popup, server.url("/popup")));

    // The popup lays out at its own size and runs as a visible page, on a
    // stage the person never sees.
    EXPECT_EQ(pageValue(popup, "[innerWidth, innerHeight, document.visibilityState]"),
              nlohmann::json::parse(R"([520, 640, "visible"])"));
    ASSERT_TRUE(session->stages->contains(popup));
    EXPECT_EQ(GTK_WINDOW(gtk_widget_get_root(GTK_WIDGET(popup))), session->stages->at(popup).get());

    // A window of the application can take it off its stage to show it.
    session->unstage(popup);
    EXPECT_FALSE(session->stages->contains(popup));
    EXPECT_EQ(gtk_widget_get_root(GTK_WIDGET(popup)), nullptr);
    GtkWindow* shown = GTK_WINDOW(gtk_window_new());
    gtk_window_set_child(shown, GTK_WIDGET(popup));
    session->prepareStage(popup);
    EXPECT_FALSE(session->stages->contains(popup)) << "a view that a window shows needs no stage";
    gtk_window_set_child(shown, nullptr);
    gtk_window_destroy(shown);
    session->prepareStage(popup);
    ASSERT_TRUE(session->stages->contains(popup));

    // Commands act on the popup; its snapshot is its own.
    PageSnapshot snapshot = runTask(session->scan());
    EXPECT_EQ(namesOf(snapshot), (std::vector<std::string>{"In popup"}));
    EXPECT_EQ(snapshot.httpStatus, std::nullopt);
    EXPECT_TRUE(session->snapshots->contains("w1"));
    EXPECT_FALSE(session->snapshots->contains("main"));

    session->selectWindow("main");
    EXPECT_EQ(session->activeWindowID(), "main");
    expectNoWindow([&] { session->selectWindow("Main"); }, "Main");
    expectNoWindow([&] { session->selectWindow("w2"); }, "w2");
    EXPECT_EQ(session->activeWindowID(), "main");
    session->selectWindow("w1");
    EXPECT_EQ(session->activeWindowID(), "w1");

    // A window opened without an address is recorded with an empty message.
    session->dialogs.records.clear();
    pageValue(session->page->get(), "window.open(); true");
    ASSERT_TRUE(spinUntil([&] { return session->popups->size() == 2; }));
    EXPECT_EQ(session->dialogs.records, (std::vector<DialogRecord>{{Kind::popup, ""}}));
    EXPECT_EQ(session->activeWindowID(), "w2");
    // Before it has an address it is read as it stands: an empty page.
    pageValue(session->page->get(), "window.open('/held'); true");
    ASSERT_TRUE(spinUntil([&] { return session->popups->size() == 3; }));
    PageSnapshot blank = runTask(session->scan());
    EXPECT_EQ(blank.url, "about:blank");
    EXPECT_TRUE(blank.elements.empty());
}

TEST(SessionWindows, FivePopupsAtMostAndIdsAreNeverReused) {
    LoopbackServer server;
    server.serve("/", "<button>Opener</button>");
    server.serve("/popup", "<p>popup</p>");
    auto session = BrowserSession::create({});
    ASSERT_TRUE(loadPage(*session, server.url("/")));

    auto opened = pageValue(session->page->get(),
                            "Array.from({length: 6}, (_, i) => window.open('/popup?' + i) !== null)");
    EXPECT_EQ(opened, nlohmann::json::parse("[true, true, true, true, true, false]"));
    EXPECT_EQ(windowIDs(*session), (std::vector<std::string>{"main", "w1", "w2", "w3", "w4", "w5"}));
    ASSERT_EQ(session->dialogs.records.size(), 5u);
    EXPECT_EQ(session->dialogs.records.back(), (DialogRecord{Kind::popup, server.url("/popup?4")}));
    EXPECT_EQ(session->activeWindowID(), "w5");

    // Closing the active popup makes the most recent remaining one active.
    WebKitWebView* fifth = session->popupWithID("w5");
    GtkWindow* stage = session->stages->at(fifth).get();
    g_object_add_weak_pointer(G_OBJECT(fifth), reinterpret_cast<gpointer*>(&fifth));
    runTask(session->closeWindow("w5"));
    EXPECT_EQ(session->activeWindowID(), "w4");
    EXPECT_EQ(session->stages->size(), 5u) << "the page and four popups";
    EXPECT_TRUE(spinUntil([&] { return fifth == nullptr; }, seconds(5))) << "the popup's web view goes";
    // The one stage stays for the views still on it, and for those to come.
    EXPECT_EQ(session->stages->at(session->popupWithID("w4")).get(), stage);
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(stage)));

    expectNoWindow([&] { runTask(session->closeWindow("main")); }, "main");
    expectNoWindow([&] { runTask(session->closeWindow("w5")); }, "w5");

    session->selectWindow("w2");
    runTask(session->closeWindow("w4"));
    EXPECT_EQ(session->activeWindowID(), "w2") << "closing another popup leaves the active one";

    // A new popup takes the next number, not a freed one.
    pageValue(session->page->get(), "window.open('/popup?again'); true");
    ASSERT_TRUE(spinUntil([&] { return session->popups->size() == 4; }));
    EXPECT_EQ(session->activeWindowID(), "w6");

    // A popup that closes itself is forgotten; with none left the page is active.
    WebKitWebView* sixth = session->popupWithID("w6");
    ASSERT_TRUE(loaded(sixth, server.url("/popup?again")));
    pageValue(sixth, "window.close(); true");
    ASSERT_TRUE(spinUntil([&] { return session->popups->size() == 3; }));
    EXPECT_EQ(session->activeWindowID(), "w3");
    for (std::string id : {"w1", "w2", "w3"}) runTask(session->closeWindow(id));
    EXPECT_EQ(session->activeWindowID(), "main");
    EXPECT_EQ(windowIDs(*session), (std::vector<std::string>{"main"}));
    EXPECT_TRUE(session->stages->size() <= 1) << "only the page may keep a stage";
}

TEST(SessionWindows, ALinkToANewWindowOpensInItsOwnWindow) {
    LoopbackServer server;
    server.serve("/", sessionPage("blank-link"));
    server.serve("/next", "<p>next</p>");
    auto session = BrowserSession::create({});
    ASSERT_TRUE(loadPage(*session, server.url("/")));

    pageValue(session->page->get(), "link.click(); true");
    ASSERT_TRUE(spinUntil([&] { return session->url.get() == server.url("/next") && !*session->isLoading; }));
    EXPECT_TRUE(session->popups->empty());
    EXPECT_TRUE(session->dialogs.records.empty());
}

TEST(SessionWindows, DialogsAreAnsweredByThePolicyAndRecorded) {
    LoopbackServer server;
    server.serve("/", sessionPage("file-input"));
    auto session = BrowserSession::create({});
    ASSERT_TRUE(loadPage(*session, server.url("/")));
    const std::string dialogs = "[alert('Hello'), confirm('Sure?'), prompt('Name?', 'Ann'), prompt('Age?')]";

    EXPECT_EQ(session->dialogPolicy(), DialogRecorder::Policy::accept);
    EXPECT_EQ(pageValue(session->page->get(), dialogs), nlohmann::json::parse(R"([null, true, "Ann", ""])"));
    EXPECT_EQ(session->dialogs.records, (std::vector<DialogRecord>{{Kind::alert, "Hello"},
                                                                   {Kind::confirm, "Sure?"},
                                                                   {Kind::prompt, "Name?"},
                                                                   {Kind::prompt, "Age?"}}));

    session->dialogs.records.clear();
    session->setDialogPolicy(DialogRecorder::Policy::dismiss);
    EXPECT_EQ(pageValue(session->page->get(), dialogs), nlohmann::json::parse("[null, false, null, null]"));
    EXPECT_EQ(session->dialogs.records.size(), 4u);

    // A file chooser is answered with no file, under either policy.
    session->dialogs.records.clear();
    pageValue(session->page->get(), "file.addEventListener('cancel', () => window.cancelled = true); file.click(); true");
    ASSERT_TRUE(spinUntil([&] { return !session->dialogs.records.empty(); }));
    EXPECT_EQ(session->dialogs.records, (std::vector<DialogRecord>{{Kind::fileInput, ""}}));
    EXPECT_EQ(pageValue(session->page->get(), "file.files.length"), 0);
}

// A popup gets no login, even where the page would: it shows the server's
// own answer.
TEST(SessionWindows, APopupThatAsksForALoginShowsTheServersAnswer) {
    LoopbackServer server;
    server.serve("/", "<p>opener</p>");
    server.serve("/private", {.status = 401, .body = "<p>who are you</p>",
                              .headers = {{"WWW-Authenticate", "Basic realm=\"vesk\""}}});
    auto session = BrowserSession::create({});
    session->setVariables({{"127.0.0.1:" + std::to_string(server.port()),
                            {{"HTTP_USER", "ann"}, {"HTTP_PASSWORD", "s3cret"}}}});
    ASSERT_TRUE(loadPage(*session, server.url("/")));

    pageValue(session->page->get(), "window.open('/private'); true");
    ASSERT_TRUE(spinUntil([&] { return session->popups->size() == 1; }));
    WebKitWebView* popup = session->popups->front().get();
    ASSERT_TRUE(loaded(popup, server.url("/private")));
    EXPECT_EQ(pageValue(popup, "document.body.innerText"), "who are you");
    EXPECT_EQ(server.hits("/private"), 1u);
}
