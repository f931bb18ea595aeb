// The response recorder on a real page: following navigations, HTTP
// failures, downloads, logins and the certificates of local hosts.

#include "BrowserCore/Session/BrowserSession.h"
#include "Platform/Async.h"
#include "Support/Fixture.h"
#include "Support/LoopbackServer.h"
#include "Support/MainLoop.h"

#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <libsoup/soup.h>
#include <netinet/in.h>

#include <cstring>
#include <fstream>
#include <sstream>

using namespace vesk;
using namespace vesk::test;

namespace {

using NavigationID = ResponseRecorder::NavigationID;

// Starts a load of the page as the session does, following it.
NavigationID start(BrowserSession& session, const std::string& url) {
    auto id = session.responses.beginNavigation(url);
    session.responses.follow(id);
    webkit_web_view_load_uri(session.page->get(), url.c_str());
    return id;
}

bool ends(BrowserSession& session) {
    return spinUntil([&] { return session.responses.ended.has_value(); });
}

std::string failureText(BrowserSession& session) {
    const auto& ended = session.responses.ended;
    return ended && ended->failure ? ended->failure->description() : std::string();
}

// The value of an expression in the page, as text.
Task<std::string> pageText(WebKitWebView* view, std::string script) {
    auto result = co_await gAsync([&](GAsyncReadyCallback callback, gpointer data) {
        webkit_web_view_evaluate_javascript(view, script.c_str(), -1, nullptr, nullptr, nullptr, callback, data);
    });
    JSCValue* value = webkit_web_view_evaluate_javascript_finish(view, result.get(), nullptr);
    if (!value) co_return std::string();
    char* text = jsc_value_to_string(value);
    std::string out = text;
    g_free(text);
    g_object_unref(value);
    co_return out;
}

// A port on which nothing listens.
unsigned closedPort() {
    LoopbackServer gone;
    return gone.port();
}

std::string contents(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

LoopbackServer::Response attachment(std::string body, std::string type, std::string filename) {
    return {.body = std::move(body), .contentType = std::move(type),
            .headers = {{"Content-Disposition", "Attachment; filename=\"" + filename + "\""}}};
}

} // namespace

TEST(ResponseRecorderPage, FollowsItsNavigationToCommitAndEnd) {
    LoopbackServer server;
    LoopbackServer::Response held;
    held.hold = true;
    server.serve("/held.png", held);
    server.serve("/slow", "<p>text</p><img src=/held.png>");
    server.serve("/fast", "<p>fast</p>");
    auto session = BrowserSession::create({});

    // Committed while a subresource still loads: arrived, not ended.
    start(*session, server.url("/slow"));
    ASSERT_TRUE(spinUntil([&] { return session->responses.arrived; }));
    EXPECT_FALSE(session->responses.ended);
    EXPECT_TRUE(webkit_web_view_is_loading(session->page->get()));

    // A load that replaces a followed one that never committed does not end it.
    server.serve("/never", held);
    start(*session, server.url("/never"));
    ASSERT_TRUE(spinUntil([&] { return server.hits("/never") == 1; }));
    auto followedID = *session->responses.followed;
    session->responses.beginNavigation();
    webkit_web_view_load_uri(session->page->get(), server.url("/fast").c_str());
    ASSERT_TRUE(spinUntil([&] { return *session->url == server.url("/fast") && !*session->isLoading; }));
    EXPECT_EQ(session->responses.followed, followedID);
    EXPECT_FALSE(session->responses.ended) << "replaced, not finished";
    EXPECT_FALSE(session->responses.arrived);

    // The next followed load ends with success.
    start(*session, server.url("/fast"));
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(session->responses.ended->failure, std::nullopt);
    EXPECT_TRUE(session->responses.arrived);
    EXPECT_EQ(session->responses.arriving, std::nullopt);

    // A load that cannot connect fails with WebKit's own words.
    start(*session, "http://127.0.0.1:" + std::to_string(closedPort()) + "/");
    ASSERT_TRUE(ends(*session));
    EXPECT_TRUE(failureText(*session).starts_with("Navigation failed: ")) << failureText(*session);
    EXPECT_GT(failureText(*session).size(), std::string("Navigation failed: ").size());
    EXPECT_EQ(session->responses.arriving, std::nullopt);

    // The page's process ending ends the followed navigation.
    start(*session, server.url("/never"));
    ASSERT_TRUE(spinUntil([&] { return server.hits("/never") == 2; }));
    webkit_web_view_terminate_web_process(session->page->get());
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(failureText(*session), "Navigation failed: The web content process terminated");
}

TEST(ResponseRecorderPage, FollowsOnlyThePageOfTheCurrentProfile) {
    LoopbackServer server;
    server.serve("/file", attachment("data", "text/plain", "file.txt"));
    server.serve("/gone", {.status = 410});
    auto first = BrowserSession::Profile::persistent("33333333-3333-4333-8333-333333333333");
    auto second = BrowserSession::Profile::persistent("44444444-4444-4444-8444-444444444444");
    BrowserSession::Options options;
    options.profile = first;
    auto session = BrowserSession::create(options);

    session->useProfile(second);
    start(*session, server.url("/gone"));
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(session->responses.failedStatus(server.url("/gone")), 410);

    // Back on the first profile's network session, a download is saved once.
    session->useProfile(first);
    EXPECT_TRUE(session->responses.failed.empty());
    start(*session, server.url("/file"));
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(failureText(*session), "");
    auto files = session->responses.takeDownloaded();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].name, "file.txt");
    EXPECT_EQ(session->responses.folder.taken(), (std::set<std::string>{"file.txt"}));
}

TEST(ResponseRecorderPage, KeepsOnlyTheMainDocumentsHTTPFailures) {
    LoopbackServer server;
    for (const char* path : {"/missing", "/frame-missing", "/fetch-missing"}) server.serve(path, {.status = 404, .body = "<p>gone</p>"});
    server.serve("/with-frame", fixture("BrowserCore/Recorders/pages/with-frame.html"));
    auto session = BrowserSession::create({});

    start(*session, server.url("/missing#top"));
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(session->responses.ended->failure, std::nullopt) << "a 404 page still loads";
    EXPECT_EQ(session->responses.failedStatus(server.url("/missing")), 404);

    start(*session, server.url("/with-frame"));
    ASSERT_TRUE(ends(*session));
    ASSERT_TRUE(spinUntil([&] { return server.hits("/fetch-missing") == 1; }));
    EXPECT_EQ(session->responses.failedStatus(server.url("/frame-missing")), std::nullopt);
    EXPECT_EQ(session->responses.failedStatus(server.url("/fetch-missing")), std::nullopt);

    // The same address answering 200 later clears it.
    server.serve("/missing", "<p>back</p>");
    start(*session, server.url("/missing#other"));
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(session->responses.failedStatus(server.url("/missing")), std::nullopt);
}

TEST(ResponseRecorderPage, SavesDownloadsUnderSafeUniqueNames) {
    LoopbackServer server;
    server.serve("/report", attachment("a,b\n1,2\n", "text/csv", "../../report.csv"));
    // A type the page can show is still a download when marked as attachment.
    server.serve("/page-file", attachment("<p>saved</p>", "text/html", "page.html"));
    server.serve("/blob.bin", {.body = std::string("\x00\x01\x02", 3), .contentType = "application/x-vesk-unknown"});
    server.serve("/framed", fixture("BrowserCore/Recorders/pages/framed.html"));
    std::string longName = "";
    for (int i = 0; i < 100; ++i) longName += "€";
    server.serve("/long", attachment("x", "text/plain", longName + ".txt"));
    auto session = BrowserSession::create({});

    auto download = [&](const std::string& path) {
        start(*session, server.url(path));
        EXPECT_TRUE(ends(*session)) << path;
        EXPECT_EQ(failureText(*session), "") << path;
        auto files = session->responses.takeDownloaded();
        EXPECT_EQ(files.size(), 1u) << path;
        return files.empty() ? DownloadedFile{} : files.front();
    };

    const std::string& folder = session->responses.folder.path();
    auto first = download("/report");
    EXPECT_EQ(first.name, "report.csv");
    EXPECT_EQ(first.path, folder + "/report.csv");
    EXPECT_EQ(first.size, 8);
    EXPECT_EQ(first.type, "text/csv");
    EXPECT_EQ(contents(first.path), "a,b\n1,2\n");
    EXPECT_EQ(download("/report").name, "report 2.csv");
    EXPECT_EQ(download("/page-file").name, "page.html");
    EXPECT_EQ(download("/blob.bin").name, "blob.bin");
    // The download may finish before WebKit gives up the load it came from.
    ASSERT_TRUE(spinUntil([&] { return !webkit_web_view_is_loading(session->page->get()); }));
    const char* shown = webkit_web_view_get_uri(session->page->get());
    EXPECT_EQ(std::string(shown ? shown : ""), "") << "only downloads: the page never showed anything";

    auto cut = download("/long");
    EXPECT_LE(cut.name.size() + std::strlen(".wkdownload"), 255u) << "room for WebKit's partial file";
    EXPECT_TRUE(cut.name.ends_with("€.txt")) << cut.name;
    EXPECT_EQ(contents(cut.path), "x");

    // A subframe never downloads.
    start(*session, server.url("/framed"));
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(server.hits("/blob.bin"), 2u);
    // A download the frame had started would come before the next one's.
    EXPECT_EQ(download("/report").name, "report 3.csv");
    EXPECT_FALSE(g_file_test((folder + "/blob 2.bin").c_str(), G_FILE_TEST_EXISTS));
}

// A link that downloads, the page's own or one its script makes for a Blob,
// leaves no navigation on its way for the settle wait to wait for.
TEST(ResponseRecorderPage, ALinkThatDownloadsLeavesNoNavigationOnItsWay) {
    LoopbackServer server;
    server.serve("/", R"(<a id=report href=/report.csv download>Report</a><button id=save>Save</button><script>
        save.addEventListener('click', () => {
            const link = Object.assign(document.createElement('a'), {download: 'notes.txt',
                href: URL.createObjectURL(new Blob(['notes'], {type: 'text/plain'}))});
            document.body.append(link);
            link.click();
        });</script>)");
    server.serve("/report.csv", LoopbackServer::Response{.body = "a,b\n", .contentType = "text/csv"});
    auto session = BrowserSession::create({});
    start(*session, server.url("/"));
    ASSERT_TRUE(ends(*session));
    for (std::string name : {"report", "save"}) {
        runTask(pageText(session->page->get(), name + ".click()"));
        ASSERT_TRUE(spinUntil([&] { return !session->responses.downloaded.empty(); })) << name;
        EXPECT_FALSE(session->responses.navigationOnItsWay()) << name;
        session->responses.takeDownloaded();
    }
    EXPECT_EQ(session->responses.folder.taken(), (std::set<std::string>{"report.csv", "notes.txt"}));
}

TEST(ResponseRecorderPage, AFailedMainDownloadEndsTheNavigation) {
    LoopbackServer server;
    server.serve("/report", attachment("a,b\n", "text/csv", "report.csv"));
    auto session = BrowserSession::create({});
    // The download folder's place is taken by a file.
    std::string blocker = session->responses.folder.path();
    std::ofstream(blocker) << "in the way";

    start(*session, server.url("/report"));
    ASSERT_TRUE(ends(*session));
    EXPECT_TRUE(failureText(*session).starts_with("Navigation failed: The file report.csv could not be saved: "))
        << failureText(*session);
    EXPECT_TRUE(session->responses.downloaded.empty());
    g_remove(blocker.c_str());
}

TEST(ResponseRecorderPage, AnswersHTTPLoginsFromTheSitesVariables) {
    LoopbackServer server;
    gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>("ann:s3cret"), 10);
    std::string expected = std::string("Basic ") + encoded;
    g_free(encoded);
    const LoopbackServer::Response refused{.status = 401, .body = "<p>who are you</p>",
                                           .headers = {{"WWW-Authenticate", "Basic realm=\"vesk\""}}};
    server.handle("/private", [&](const LoopbackServer::Request& request) {
        auto found = request.headers.find("authorization");
        bool known = found != request.headers.end() && found->second == expected;
        return known ? LoopbackServer::Response{.body = "<p>welcome</p>"} : refused;
    });
    auto session = BrowserSession::create({});
    auto page = [&] { return runTask(pageText(session->page->get(), "document.body.innerText")); };

    // No variables: the server's own answer shows.
    start(*session, server.url("/private"));
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(page(), "who are you");
    EXPECT_EQ(server.hits("/private"), 1u);

    std::string site = "127.0.0.1:" + std::to_string(server.port());
    session->setVariables({{site, {{"HTTP_USER", "ann"}, {"HTTP_PASSWORD", "s3cret"}}}});
    start(*session, server.url("/private"));
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(page(), "welcome");
    EXPECT_EQ(server.hits("/private"), 3u);

    // A wrong password is tried once, not again.
    LoopbackServer other;  // a fresh origin, so no login is cached
    other.handle("/private", [&](const LoopbackServer::Request&) { return refused; });
    std::string otherSite = "127.0.0.1:" + std::to_string(other.port());
    session->setVariables({{otherSite, {{"HTTP_USER", "ann"}, {"HTTP_PASSWORD", "wrong"}}}});
    start(*session, other.url("/private"));
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(page(), "who are you");
    EXPECT_EQ(other.hits("/private"), 2u) << "once without, once with the login";
}

// Digest is answered as Basic is; a scheme the program does not answer
// leaves the server's own page.
TEST(ResponseRecorderPage, AnswersDigestLoginsAsBasicOnesAndNoOtherScheme) {
    auto session = BrowserSession::create({});
    auto page = [&] { return runTask(pageText(session->page->get(), "document.body.innerText")); };
    auto login = [&](const LoopbackServer& server) {
        session->setVariables({{"127.0.0.1:" + std::to_string(server.port()),
                                {{"HTTP_USER", "ann"}, {"HTTP_PASSWORD", "s3cret"}}}});
    };
    for (auto scheme : {LoopbackServer::Scheme::basic, LoopbackServer::Scheme::digest}) {
        LoopbackServer server;  // a fresh origin each time, so no login is cached
        server.requireLogin("/private", scheme, "ann", "s3cret");
        server.serve("/private", "<p>welcome</p>");
        login(server);
        start(*session, server.url("/private"));
        ASSERT_TRUE(ends(*session));
        EXPECT_EQ(page(), "welcome") << (scheme == LoopbackServer::Scheme::basic ? "Basic" : "Digest");
    }
    LoopbackServer other;
    other.serve("/bearer", LoopbackServer::Response{.status = 401, .body = "<p>who are you</p>",
                                                    .headers = {{"WWW-Authenticate", "Bearer realm=\"vesk\""}}});
    login(other);
    start(*session, other.url("/bearer"));
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(page(), "who are you");
    EXPECT_EQ(other.hits("/bearer"), 1u);
}

// Each realm of a site gets its login once a page, up to a bound; what the
// program does not answer, and a login the server refused, leave the
// server's own page, reached once without the login and at most once with it.
TEST(ResponseRecorderPage, GivesEachRealmOfASiteItsLoginOnceAPageAndNoOtherKind) {
    auto session = BrowserSession::create({});
    auto refusal = [](std::string challenge, std::string body = "<p>who are you</p>") {
        return LoopbackServer::Response{.status = 401, .body = std::move(body),
                                        .headers = {{"WWW-Authenticate", challenge}}};
    };
    auto load = [&](const LoopbackServer& server, const std::string& path) {
        session->setVariables({{"127.0.0.1:" + std::to_string(server.port()),
                                {{"HTTP_USER", "ann"}, {"HTTP_PASSWORD", "s3cret"}}}});
        start(*session, server.url(path));
        return ends(*session);
    };
    LoopbackServer server;
    server.serve("/ntlm", refusal("NTLM"));
    int asked = 0;  // a new realm with every answer
    server.handle("/renamed", [&](const LoopbackServer::Request&) {
        return refusal("Basic realm=\"r" + std::to_string(++asked) + "\"");
    });
    server.serve("/refused", refusal("Basic realm=\"vesk\"", "<p>who are you</p><img src=/refused.png>"));
    server.serve("/refused.png", refusal("Basic realm=\"vesk\""));

    ASSERT_TRUE(load(server, "/ntlm")) << "no login dialog holds the load";
    EXPECT_EQ(runTask(pageText(session->page->get(), "document.body.innerText")), "who are you");
    EXPECT_EQ(session->responses.failedStatus(server.url("/ntlm")), 401);
    EXPECT_EQ(server.hits("/ntlm"), 1u);
    ASSERT_TRUE(load(server, "/renamed"));
    EXPECT_EQ(server.hits("/renamed"), 1 + ResponseRecorder::loginsPerLoad) << "once without, then with each login";
    // The page's image, in the realm that refused the login, gets none.
    ASSERT_TRUE(load(server, "/refused"));
    EXPECT_EQ(server.hits("/refused"), 2u);
    EXPECT_EQ(server.hits("/refused.png"), 1u);

    // A page in one realm whose image lies in another realm of the site:
    // both get the login. (Paths apart, so that the page's login is not
    // sent with the image unasked.)
    gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>("ann:s3cret"), 10);
    const std::string expected = std::string("Basic ") + encoded;
    g_free(encoded);
    gsize length = 0;
    guchar* png = g_base64_decode(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==", &length);
    const LoopbackServer::Response picture{.body = std::string(reinterpret_cast<char*>(png), length),
                                           .contentType = "image/png"};
    g_free(png);
    auto inRealm = [&](const std::string& realm, LoopbackServer::Response allowed) {
        return [&, realm, allowed](const LoopbackServer::Request& request) {
            auto found = request.headers.find("authorization");
            bool known = found != request.headers.end() && found->second == expected;
            return known ? allowed : refusal("Basic realm=\"" + realm + "\"");
        };
    };
    server.handle("/a/page", inRealm("A", {.body = "<p>welcome</p><img src=/b/picture.png>"}));
    server.handle("/b/picture.png", inRealm("B", picture));
    ASSERT_TRUE(load(server, "/a/page"));
    EXPECT_EQ(runTask(pageText(session->page->get(), "document.images[0].naturalWidth")), "1");
    EXPECT_EQ(server.hits("/b/picture.png"), 2u);

    // The network layer sends the Digest login it holds again and again to
    // a server that asks for another kind: the load says so, unless the
    // server's page shows.
    LoopbackServer digest;
    digest.requireLogin("/private", LoopbackServer::Scheme::digest, "ann", "s3cret");
    digest.serve("/private", "<p>welcome</p>");
    digest.serve("/bearer", refusal("Bearer realm=\"vesk\""));
    ASSERT_TRUE(load(digest, "/private"));
    ASSERT_TRUE(load(digest, "/bearer"));
    if (!failureText(*session).empty()) {
        EXPECT_EQ(failureText(*session), std::string("Navigation failed: ") + ResponseRecorder::loginLoopReason);
    } else {
        EXPECT_EQ(session->responses.failedStatus(digest.url("/bearer")), 401);
    }
}

namespace {

// An HTTPS server with that certificate, on every IPv4 address of this machine.
class TLSServer {
public:
    TLSServer() {
        // A self-signed certificate for 127.0.0.1 and localhost, made for these tests only.
        std::string pem = fixture("BrowserCore/Recorders/data/loopback-certificate.pem");
        GTlsCertificate* certificate = g_tls_certificate_new_from_pem(pem.c_str(), -1, nullptr);
        server_ = soup_server_new("tls-certificate", certificate, nullptr);
        g_object_unref(certificate);
        soup_server_add_handler(
            server_, nullptr,
            +[](SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer) {
                const char* body = "<p>secure</p>";
                soup_server_message_set_status(message, 200, nullptr);
                soup_server_message_set_response(message, "text/html", SOUP_MEMORY_STATIC, body, strlen(body));
            },
            nullptr, nullptr);
        GInetAddress* any = g_inet_address_new_any(G_SOCKET_FAMILY_IPV4);
        GSocketAddress* address = g_inet_socket_address_new(any, 0);
        soup_server_listen(server_, address, SOUP_SERVER_LISTEN_HTTPS, nullptr);
        g_object_unref(address);
        g_object_unref(any);
        GSList* uris = soup_server_get_uris(server_);
        port_ = uris ? static_cast<unsigned>(g_uri_get_port(static_cast<GUri*>(uris->data))) : 0;
        g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    }
    ~TLSServer() {
        soup_server_disconnect(server_);
        g_object_unref(server_);
    }
    std::string url(const std::string& host) const { return "https://" + host + ":" + std::to_string(port_) + "/"; }
    unsigned port() const { return port_; }

private:
    SoupServer* server_ = nullptr;
    unsigned port_ = 0;
};

// An IPv4 address of this machine that is not a loopback address, if any.
std::optional<std::string> outwardAddress() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::optional<std::string> found;
    for (ifaddrs* entry = list; entry && !found; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        GInetAddress* address = g_inet_address_new_from_bytes(
            reinterpret_cast<const guint8*>(&reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr),
            G_SOCKET_FAMILY_IPV4);
        if (!g_inet_address_get_is_loopback(address)) {
            char* text = g_inet_address_to_string(address);
            found = text;
            g_free(text);
        }
        g_object_unref(address);
    }
    freeifaddrs(list);
    return found;
}

} // namespace

TEST(ResponseRecorderPage, AcceptsCertificatesOnlyOfThisMachine) {
    TLSServer server;
    ASSERT_NE(server.port(), 0u);
    auto session = BrowserSession::create({});

    start(*session, server.url("127.0.0.1"));
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(failureText(*session), "");
    EXPECT_TRUE(session->responses.arrived);
    EXPECT_EQ(std::string(webkit_web_view_get_uri(session->page->get())), server.url("127.0.0.1"));

    start(*session, server.url("localhost"));
    ASSERT_TRUE(ends(*session));
    EXPECT_EQ(failureText(*session), "");

    // The same machine under an address that is not a loopback one gets the
    // usual checks, which this certificate fails.
    auto outward = outwardAddress();
    if (!outward) GTEST_SKIP() << "this machine has no address but loopback";
    start(*session, server.url(*outward));
    ASSERT_TRUE(ends(*session));
    EXPECT_TRUE(failureText(*session).starts_with("Navigation failed: ")) << failureText(*session);
}
