// Loading pages into the session: navigate, back, forward, reload and the
// phases of the load wait, on a real web view against loopback pages.

#include "BrowserCore/Recorders/RefusedPorts.h"
#include "SessionPages.h"
#include "Support/ClosedPort.h"

using namespace vesk;
using namespace vesk::test;
using Action = FlowStep::Action;

namespace {

std::shared_ptr<BrowserSession> quickSession(Duration navigationTimeout = seconds(30)) {
    BrowserSession::Options options;
    options.settleTimeout = seconds(1);  // blank pages give up drawing soon
    options.navigationTimeout = navigationTimeout;
    return BrowserSession::create(options);
}

// A port on which nothing listens.
unsigned freedPort() {
    LoopbackServer gone;
    return gone.port();
}

bool hasElementNamed(const PageSnapshot& snapshot, const std::string& name) {
    return contains(namesOf(snapshot), name);
}

} // namespace

TEST(Navigation, LoadsThroughItsPhasesWithoutWaitingForSlowSubresources) {
    LoopbackServer server;
    server.serve("/", {.body = "<title>Shop</title><p>Welcome</p><button>Buy</button><img src=/slow.png>", .delay = milliseconds(300)});
    server.serve("/slow.png", {.hold = true});
    auto session = BrowserSession::create({});
    Shown shown(session->page->get());

    std::vector<std::string> labels;
    auto snapshot = runNotingLabels(*session, session->navigate(server.url("/")), labels);
    EXPECT_EQ(snapshot.title, "Shop");
    EXPECT_TRUE(hasElementNamed(snapshot, "Buy"));
    EXPECT_EQ(snapshot.httpStatus, std::nullopt);
    ASSERT_GE(labels.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(labels.begin(), labels.begin() + 3),
              (std::vector<std::string>{"the page to load", "the loaded page to settle", "a snapshot of the loaded page"}));
    EXPECT_EQ(session->waitingFor, std::nullopt);

    // The image never came: the wait ended at the commit.
    EXPECT_EQ(server.hits("/slow.png"), 1u);
    EXPECT_TRUE(webkit_web_view_is_loading(session->page->get()));

    ASSERT_TRUE(session->phases);
    EXPECT_GE(session->phases->load, milliseconds(300));
    EXPECT_GT(session->phases->settle, Duration::zero());
    EXPECT_TRUE(session->phases->settled.has_value());
    EXPECT_GT(session->phases->snapshot, Duration::zero());
    EXPECT_EQ(session->currentSnapshot(), snapshot);
}

TEST(Navigation, FollowsRedirectsAndCarriesTheHTTPStatus) {
    LoopbackServer server;
    server.serve("/old", {.status = 302, .headers = {{"Location", "/new"}}});
    server.serve("/new", "<p>new place</p>");
    server.serve("/missing", {.status = 404, .body = "<h1>Not here</h1>"});
    auto session = quickSession();
    Shown shown(session->page->get());

    EXPECT_EQ(runTask(session->navigate(server.url("/old"))).url, server.url("/new"));

    auto failed = runTask(session->navigate(server.url("/missing")));
    EXPECT_EQ(failed.httpStatus, 404);
    EXPECT_EQ(failed.text, "Not here");

    // Only a new response clears it (a fragment alone loads nothing).
    server.serve("/missing", "<p>found again</p>");
    runTask(session->navigate(server.url("/new")));
    EXPECT_EQ(runTask(session->navigate(server.url("/missing#part"))).httpStatus, std::nullopt);
}

TEST(Navigation, RefusesSchemesOutsideTheAllowedOnes) {
    LoopbackServer server;
    server.serve("/", "<p>upper-case scheme</p>");
    auto session = quickSession();
    Shown shown(session->page->get());

    for (std::string url : {"ftp://127.0.0.1/file", "file:///etc/passwd", "example.com", "javascript:alert(1)", "",
                            "127.0.0.1:80/"}) {
        EXPECT_EQ(errorOf(session->navigate(url)), "Invalid URL: " + url);
    }
    EXPECT_EQ(*session->url, std::nullopt) << "nothing was loaded";
    EXPECT_TRUE(server.requests().empty());

    std::string upper = "HTTP://127.0.0.1:" + std::to_string(server.port()) + "/";
    EXPECT_EQ(runTask(session->navigate(upper)).url, server.url("/"));
    EXPECT_EQ(runTask(session->navigate("data:text/html,<p>inline</p>")).text, "inline");
    EXPECT_EQ(runTask(session->navigate("about:blank")).url, "about:blank");
}

TEST(Navigation, GoesBackForwardAndReloadsAndRecordsEachStep) {
    LoopbackServer server;
    server.serve("/a", "<title>A</title><p>first</p>");
    server.serve("/b", "<title>B</title><p>second</p>");
    auto session = quickSession();
    Shown shown(session->page->get());

    EXPECT_EQ(errorOf(session->goBack()), "Navigation failed: There is no previous page");
    EXPECT_EQ(errorOf(session->goForward()), "Navigation failed: There is no next page");

    Flow flow;
    flow.name = "walk";
    session->recording.set(flow);
    runTask(session->navigate(server.url("/a"), "${SHOP}/a"));
    EXPECT_EQ(errorOf(session->goBack()), "Navigation failed: There is no previous page");
    runTask(session->navigate(server.url("/b")));
    EXPECT_EQ(runTask(session->goBack()).title, "A");
    EXPECT_EQ(runTask(session->goForward()).title, "B");
    EXPECT_EQ(errorOf(session->goForward()), "Navigation failed: There is no next page");
    auto hits = server.hits("/b");
    EXPECT_EQ(runTask(session->reload()).title, "B");
    EXPECT_EQ(server.hits("/b"), hits + 1);

    EXPECT_EQ((*session->recording)->steps,
              (std::vector<FlowStep>{stepOf(Action::navigate, "${SHOP}/a"), stepOf(Action::navigate, server.url("/b")),
                                     stepOf(Action::back), stepOf(Action::forward), stepOf(Action::reload)}));
}

TEST(Navigation, FailsOnTimeoutsAndFailedLoadsRecordingNothing) {
    LoopbackServer server;
    server.serve("/held", {.hold = true});
    auto session = quickSession(seconds(1));
    WebKitWebView* view = session->page->get();
    Shown shown(view);
    session->recording.set(Flow{});

    EXPECT_EQ(errorOf(session->navigate(server.url("/held"))), "Timed out loading the page");
    ASSERT_TRUE(session->phases);
    EXPECT_GE(session->phases->load, seconds(1));
    EXPECT_EQ(session->waitingFor, std::nullopt);
    // The load was stopped: one under way ends; one given up before WebKit
    // started it (its web process still launching) never starts, though the
    // view goes on saying it loads until the next load.
    std::size_t asked = server.hits("/held");
    EXPECT_TRUE(spinUntil([&] { return asked == 0 || !webkit_web_view_is_loading(view); })) << "the load was stopped";

    auto failure = errorOf(session->navigate("http://127.0.0.1:" + std::to_string(freedPort()) + "/"));
    EXPECT_TRUE(failure.starts_with("Navigation failed: ")) << failure;
    EXPECT_TRUE((*session->recording)->steps.empty());
    // A request already on its way when the load stopped may still arrive
    // on a busy machine; none is made again.
    EXPECT_LE(server.hits("/held"), 1u) << "the stopped load is not made again";
}

TEST(Navigation, ANavigationThatOnlyDownloadsAnswersTheFiles) {
    LoopbackServer server;
    server.serve("/people.csv", {.body = "id,name\n1,ann\n", .contentType = "text/csv",
                                 .headers = {{"Content-Disposition", "attachment; filename=\"people.csv\""}}});
    auto session = quickSession();
    Shown shown(session->page->get());

    auto snapshot = runTask(session->navigate(server.url("/people.csv")));
    EXPECT_EQ(snapshot.url, "");
    ASSERT_EQ(snapshot.downloads.size(), 1u);
    EXPECT_EQ(snapshot.downloads[0], (DownloadedFile{"people.csv", snapshot.downloads[0].path, 14, "text/csv"}));

    // On a page that shows something, the files come with its snapshot.
    server.serve("/shown", "<p>list</p>");
    runTask(session->navigate(server.url("/shown")));
    auto again = runTask(session->navigate(server.url("/people.csv")));
    EXPECT_EQ(again.url, server.url("/shown"));
    ASSERT_EQ(again.downloads.size(), 1u);
    EXPECT_EQ(again.downloads[0].name, "people 2.csv");
}

TEST(Navigation, LoadsIntoThePageWhileAPopupIsActive) {
    LoopbackServer server;
    server.serve("/", "<p>page</p>");
    auto session = quickSession();
    Shown shown(session->page->get());
    auto other = GRef<WebKitWebView>::adopt(WEBKIT_WEB_VIEW(g_object_ref_sink(webkit_web_view_new())));
    session->popups.set({other});
    session->activePopup.set(other);

    auto snapshot = runTask(session->navigate(server.url("/")));
    EXPECT_EQ(snapshot.text, "page");
    EXPECT_EQ(session->activePopup->get(), nullptr);
    EXPECT_EQ(session->popups->size(), 1u) << "the popup stays open";
    EXPECT_EQ(webkit_web_view_get_uri(other.get()), nullptr);
}

TEST(Navigation, APageBusyWithItsHistoryOrItsOwnLoadsNeverPassesForTheNextOne) {
    LoopbackServer server;
    server.serve("/pushing", "<title>old</title><script>let i = 0; setInterval(() => history.pushState({}, '', '?' + i++), 2)</script>");
    server.serve("/looping", "<title>old</title><script>setTimeout(() => location.replace('/looping?' + Date.now()), 5)</script>");
    server.serve("/calm", "<title>old</title><p>calm</p>");
    server.serve("/framing", "<title>frames</title><iframe></iframe><script>let i = 0; "
                             "setInterval(() => document.querySelector('iframe').src = '/calm?' + i++, 1)</script>");
    server.serve("/held", {.hold = true});
    server.serve("/new", {.body = "<title>new</title><p>arrived</p>", .delay = milliseconds(200)});
    std::string nowhere = "http://127.0.0.1:" + std::to_string(freedPort()) + "/";
    server.serve("/away", {.status = 302, .headers = {{"Location", nowhere}}});
    auto session = quickSession(seconds(5));
    WebKitWebView* view = session->page->get();
    Shown shown(view);
    auto show = [&](const char* path) {
        session->ensureWindowDelegate();
        webkit_web_view_load_uri(view, server.url(path).c_str());
        return spinUntil([&] { return g_strcmp0(webkit_web_view_get_title(view), "old") == 0; });
    };

    // A history changing all the while never stops the load.
    ASSERT_TRUE(show("/pushing"));
    EXPECT_EQ(runTask(session->navigate(server.url("/new"))).title, "new");

    // The page's own load, let go by WebKit just before the session asks for
    // another, starts as the session's request is made and gives way to it.
    ASSERT_TRUE(show("/calm"));
    bool heldDecided = false;
    gulong hook = g_signal_connect(view, "decide-policy", G_CALLBACK((+[](WebKitWebView*, WebKitPolicyDecision* decision,
                                                                          WebKitPolicyDecisionType type, gpointer data) {
        if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
        auto* action = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        if (g_str_has_suffix(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)), "/held")) {
            *static_cast<bool*>(data) = true;
        }
        return FALSE;
    })), &heldDecided);
    webkit_web_view_evaluate_javascript(view, "location.replace('/held')", -1, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(spinUntil([&] { return heldDecided; }));
    EXPECT_EQ(runTask(session->navigate(server.url("/new"))).title, "new");
    g_signal_handler_disconnect(view, hook);

    // The page's own load that commits just after the request is made is not
    // the request's, though the view shows the requested address by then:
    // the request fails. (It is made as WebKit adds the load's history entry.)
    server.serve("/own", "<title>own</title>");
    struct Racing {
        BrowserSession& session;
        std::string url;
        std::optional<Task<PageSnapshot>> navigation;
    } racing{*session, nowhere};
    WebKitBackForwardList* history = webkit_web_view_get_back_forward_list(view);
    hook = g_signal_connect(history, "changed", G_CALLBACK(+[](WebKitBackForwardList* list, WebKitBackForwardListItem*,
                                                              gpointer, gpointer data) {
        auto* racing = static_cast<Racing*>(data);
        WebKitBackForwardListItem* current = webkit_back_forward_list_get_current_item(list);
        if (racing->navigation || !current || !g_str_has_suffix(webkit_back_forward_list_item_get_uri(current), "/own")) return;
        racing->navigation.emplace(racing->session.navigate(racing->url));
    }), &racing);
    webkit_web_view_evaluate_javascript(view, "location.href = '/own'", -1, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(spinUntil([&] { return racing.navigation.has_value(); }));
    g_signal_handler_disconnect(history, hook);
    auto failure = errorOf(std::move(*racing.navigation));
    EXPECT_TRUE(failure.starts_with("Navigation failed: ") && failure.find(ResponseRecorder::abandonedReason) == std::string::npos)
        << failure;

    // A page that loads itself over and over may replace the request before
    // it begins: the page loaded, or an error that says so, never the page before.
    ASSERT_TRUE(show("/looping"));
    try {
        EXPECT_EQ(runTask(session->navigate(server.url("/new"))).title, "new");
    } catch (const BrowserError& error) {
        EXPECT_EQ(error.description(), std::string("Navigation failed: ") + ResponseRecorder::abandonedReason);
    }

    // An address spelled otherwise than WebKit spells it is still the load
    // asked for, and frames navigating all the while never make a redirect
    // to where nothing answers fail otherwise than with WebKit's words (tried
    // a few times: the frames' loads must come between the request and its
    // start). In a session of its own: the looping page may still be
    // replacing itself. (Its first load starts a web process: on a busy
    // machine that alone may take seconds.)
    auto quiet = quickSession();
    Shown quietShown(quiet->page->get());
    std::string spelled = "HTTP://127.0.0.1:" + std::to_string(server.port()) + "/./new";
    EXPECT_EQ(runTask(quiet->navigate(spelled)).title, "new");
    ASSERT_TRUE(loadPage(*quiet, server.url("/framing")));
    for (int i = 0; i < 10; ++i) {
        failure = errorOf(quiet->navigate(server.url("/away")));
        EXPECT_TRUE(failure.starts_with("Navigation failed: ") && failure.find(ResponseRecorder::abandonedReason) == std::string::npos)
            << failure;
    }
}

TEST(Navigation, ACancelledWaitStopsAndLeavesTheNextCommandsLabelAndPhasesAlone) {
    LoopbackServer server;
    // The page never settles: it changes every 50 ms.
    server.serve("/busy", sessionPage("ticking"));
    auto session = BrowserSession::create({});
    Shown shown(session->page->get());
    session->recording.set(Flow{});

    auto task = session->navigate(server.url("/busy"));
    ASSERT_TRUE(spinUntil([&] { return session->waitingFor == "the loaded page to settle"; }));
    task.cancel();
    // The next command has begun: what the abandoned one does from now on
    // must not reach its label, phases or recording.
    session->waitingFor = "the next command";
    session->phases = BrowserSession::Phases{};
    ASSERT_TRUE(spinUntil([&] { return task.isDone(); }));
    EXPECT_THROW(task.result(), CancellationError);
    EXPECT_EQ(session->waitingFor, "the next command");
    EXPECT_EQ(session->phases, BrowserSession::Phases{});
    EXPECT_TRUE((*session->recording)->steps.empty());
}

TEST(Navigation, ANavigationAnotherTakesOverFromGivesWayAndTheOtherAnswersForItself) {
    LoopbackServer server;
    server.serve("/busy", sessionPage("ticking"));  // never settles
    server.serve("/held", {.hold = true});
    server.serve("/other", "<title>other</title><p>arrived</p>");
    ClosedPort closed;
    auto session = quickSession();
    WebKitWebView* view = session->page->get();
    Shown shown(view);
    const std::string gaveWay = std::string("Navigation failed: ") + ResponseRecorder::supersededReason;

    // The first still settles when the second, to a closed port, begins.
    auto first = session->navigate(server.url("/busy"));
    ASSERT_TRUE(spinUntil([&] { return session->waitingFor == "the loaded page to settle"; }));
    auto second = session->navigate(closed.url("/x"));
    EXPECT_EQ(errorOf(std::move(first)), gaveWay);
    EXPECT_TRUE(errorOf(std::move(second)).starts_with("Navigation failed: Could not connect"));
    EXPECT_EQ(session->waitingFor, std::nullopt);

    // The first still waits for its document when the second, to a page, begins.
    first = session->navigate(server.url("/held"));
    ASSERT_TRUE(spinUntil([&] { return server.hits("/held") == 1; }));
    second = session->navigate(server.url("/other"));
    EXPECT_EQ(errorOf(std::move(first)), gaveWay);
    EXPECT_EQ(runTask(std::move(second)).title, "other");

    // The second has failed, and a third begins before its wait looks.
    std::optional<Task<PageSnapshot>> third;
    struct Then {
        std::function<void()> run;
    } then{[&] {
        if (!third && session->responses.ended && session->responses.ended->failure) {
            third = session->navigate(server.url("/other?third"));
        }
    }};
    gulong handler = g_signal_connect(view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent, gpointer data) {
                                          static_cast<Then*>(data)->run();
                                      }),
                                      &then);
    second = session->navigate(closed.url("/y"));
    EXPECT_TRUE(errorOf(std::move(second)).starts_with("Navigation failed: Could not connect"));
    g_signal_handler_disconnect(view, handler);
    ASSERT_TRUE(third);
    EXPECT_EQ(runTask(std::move(*third)).url, server.url("/other?third"));
}

TEST(Navigation, ALoadTheBrowserRefusesFailsSayingWhy) {
    LoopbackServer server;
    server.serve("/page", "<title>page</title><p>here</p>");
    auto redirect = [](std::string to) { return LoopbackServer::Response{.status = 302, .headers = {{"Location", to}}}; };
    server.serve("/to-port", redirect("http://127.0.0.1:6000/"));
    server.serve("/to-file", redirect("file:///etc/passwd"));
    server.serve("/to-data", redirect("data:text/html,<p>inline</p>"));
    auto session = quickSession();
    Shown shown(session->page->get());
    session->recording.set(Flow{});
    auto port = [](int n) {
        return "Navigation failed: The browser does not open port " + std::to_string(n) +
               ": it belongs to services other than the web, and browsers keep pages from it. Serve the page on "
               "another port";
    };
    const std::string refused = std::string("Navigation failed: ") + ResponseRecorder::refusedReason;

    // A port kept from the web is refused before the page is touched; WebKit
    // shows an empty page in place of a redirect there, ends the page's
    // process for a redirect to a file, and refuses the rest in words.
    runTask(session->navigate(server.url("/page")));
    EXPECT_EQ(errorOf(session->navigate("http://127.0.0.1:1/")), port(1));
    EXPECT_EQ(errorOf(session->navigate("http://127.0.0.1:6000/")), port(6000));
    EXPECT_EQ(errorOf(session->navigate("http://localhost:9/")), port(9));
    EXPECT_EQ(session->url.get(), server.url("/page"));
    EXPECT_EQ(errorOf(session->navigate(server.url("/to-port"))), port(6000));
    EXPECT_TRUE(errorOf(session->navigate(server.url("/to-file"))).starts_with("Navigation failed: "));
    EXPECT_EQ(errorOf(session->navigate(server.url("/to-data"))), refused);
    EXPECT_EQ(errorOf(session->navigate("about:nothing")), refused);

    // A page that sends the browser there by the time it is reloaded.
    server.serve("/moved", "<title>moved</title>");
    runTask(session->navigate(server.url("/moved")));
    server.serve("/moved", redirect("http://127.0.0.1:6000/"));
    EXPECT_EQ(errorOf(session->reload()), port(6000));
    EXPECT_EQ((*session->recording)->steps.size(), 2u) << "only the loads that arrived";

    // A link that leads there, straight (WebKit drops it without a word) or
    // by a redirect; not one whose click the page cancelled.
    server.serve("/links", "<title>links</title><a href=/to-port>Away</a> <a href=/to-data>Inline</a> "
                           "<a href=http://localhost:6000/x>Straight</a> "
                           "<a href=http://127.0.0.1:6000/ onclick='event.preventDefault()'>Cancelled</a>");
    auto links = runTask(session->navigate(server.url("/links")));
    EXPECT_EQ(errorOf(session->click(refOf(links, "link", "Straight"))), port(6000));
    EXPECT_FALSE(runTask(session->click(refOf(links, "link", "Cancelled"))).navigated);
    EXPECT_EQ(errorOf(session->click(refOf(links, "link", "Away"))), port(6000));
    EXPECT_EQ(errorOf(session->click(refOf(links, "link", "Inline"))), refused);
}

TEST(Navigation, EveryPortThisWebKitRefusesIsRefusedBeforeTheLoadBeginsAndThePageStays) {
    LoopbackServer server;
    server.serve("/page", "<title>page</title><p>here</p>");
    auto session = quickSession();
    Shown shown(session->page->get());
    runTask(session->navigate(server.url("/page")));
    WebKitWebView* view = session->page->get();

    // The ports WebKit refuses, as it tells them: it turns down a beacon to
    // such a port at once and takes one to any other (sent to an address no
    // connection reaches). The web's list of such ports ends at 10080.
    nlohmann::json refused = pageValue(view, R"(
        (() => { const out = [];
                 for (let port = 1; port <= 11000; port++) {
                     if (!navigator.sendBeacon('http://255.255.255.255:' + port + '/', '')) out.push(port);
                 }
                 return out; })())");
    std::vector<int> ours;
    for (int port = 1; port <= 65535; ++port) {
        if (isRefusedPort(port)) ours.push_back(port);
    }
    EXPECT_EQ(refused.get<std::vector<int>>(), ours);

    pageValue(view, "window.kept = 'still here'");
    auto back = webkit_web_view_get_back_forward_list(view);
    const auto pagesBefore = g_list_length(webkit_back_forward_list_get_back_list(back));
    for (int port : refused.get<std::vector<int>>()) {
        EXPECT_EQ(errorOf(session->navigate("http://127.0.0.1:" + std::to_string(port) + "/")),
                  "Navigation failed: The browser does not open port " + std::to_string(port) +
                      ": it belongs to services other than the web, and browsers keep pages from it. Serve the "
                      "page on another port");
    }
    EXPECT_EQ(session->url.get(), server.url("/page"));
    EXPECT_EQ(pageValue(view, "window.kept"), "still here") << "the page shown stayed";
    EXPECT_EQ(g_list_length(webkit_back_forward_list_get_back_list(back)), pagesBefore);
}

TEST(Navigation, APageChangingItsOwnAddressAllTheTimeGivesWayToTheRequest) {
    LoopbackServer server;
    // ?hash=1&push=1&ms=5: the page changes its fragment, its history or both on a timer.
    server.handle("/loop", [](const LoopbackServer::Request& request) {
        auto has = [&](const char* word) { return request.query.find(word) != std::string::npos; };
        std::string ms = request.query.substr(request.query.find("ms=") + 3);
        std::string step = std::string(has("hash") ? "location.hash = 'h' + i;" : "") +
                           (has("push") ? "history.pushState({}, '', '?" + request.query + "&at=' + i);" : "");
        return LoopbackServer::Response{.body = "<title>looping</title><p>loop</p><script>let i = 0; const loop = setInterval(() => {" +
                                                step + " i++; }, " + ms + ")</script>"};
    });
    server.handle("/other", [](const LoopbackServer::Request&) {
        return LoopbackServer::Response{.body = "<title>other</title><p>arrived</p>"};
    });
    auto session = quickSession();
    Shown shown(session->page->get());

    // The page loaded, or an error that says what took its place; never the
    // looping page. Twice from each: the first request must not leave it looping.
    int n = 0;
    for (std::string loop : {"hash&ms=20", "hash&push&ms=5", "hash&ms=1", "push&ms=1", "hash&push&ms=1"}) {
        for (int twice = 0; twice < 2; ++twice) {
            EXPECT_EQ(runTask(session->navigate(server.url("/loop?" + loop))).title, "looping");
            std::string other = server.url("/other?" + std::to_string(++n));
            try {
                auto snapshot = runTask(session->navigate(other));
                EXPECT_EQ(snapshot.title, "other") << loop;
                EXPECT_EQ(snapshot.url, other) << loop;
            } catch (const BrowserError& error) {
                EXPECT_EQ(error.description(), std::string("Navigation failed: ") + ResponseRecorder::abandonedReason);
                // WebKit gives a load up whenever the page moves, before the
                // session is asked, so a page that moves faster than a load
                // arrives (a busy machine, a far server) keeps it out, and it
                // stays. Its loop stops here, so that the next round starts
                // from a page that stays put, as the first did.
                pageValue(session->page->get(), "typeof loop === 'number' && clearInterval(loop), true");
            }
        }
    }
}
