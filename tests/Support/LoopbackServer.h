#pragma once

#include "Platform/Clock.h"

#include <libsoup/soup.h>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk::test {

// An HTTP server on 127.0.0.1 with a port of the system's choosing, serving
// the paths a test gives it from the GLib main loop. Unknown paths get 404.
// Pages can be reached as another origin through the host name "localhost".
class LoopbackServer {
public:
    struct Request {
        std::string method;
        std::string path;
        std::string query;  // without the "?"; empty when none
        std::string body;
        std::map<std::string, std::string> headers;  // names in lower case
    };

    struct Response {
        unsigned status = 200;
        std::string body;
        std::string contentType = "text/html; charset=utf-8";
        std::vector<std::pair<std::string, std::string>> headers;
        Duration delay{0};  // answer only after this long
        bool hold = false;  // never answer (until the server goes away)
    };

    using Handler = std::function<Response(const Request&)>;

    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Serves an HTML page (status 200) at the path.
    void serve(const std::string& path, std::string html);
    // Serves a fixed response at the path.
    void serve(const std::string& path, Response response);
    // Answers the path with whatever the handler makes of each request.
    void handle(const std::string& path, Handler handler);

    // Answers the paths under `path` only with this login, asked for in the
    // scheme given; other requests get the scheme's 401.
    enum class Scheme { basic, digest };
    void requireLogin(const std::string& path, Scheme scheme, std::string user, std::string password);

    unsigned port() const { return port_; }
    // "http://127.0.0.1:PORT/path"; with host "localhost" another origin.
    std::string url(std::string_view path = "/", std::string_view host = "127.0.0.1") const;

    // The requests received so far, oldest first, and how many hit a path.
    const std::vector<Request>& requests() const { return requests_; }
    std::size_t hits(std::string_view path) const;

private:
    struct Pending;
    static void onRequest(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*, gpointer self);
    void answer(SoupServerMessage* message, const Response& response);

    SoupServer* server_ = nullptr;
    unsigned port_ = 0;
    std::map<std::string, Handler> handlers_;
    std::vector<Request> requests_;
    std::vector<std::shared_ptr<Pending>> pending_;
    std::pair<std::string, std::string> login_;  // user and password
};

} // namespace vesk::test
