#include "LoopbackServer.h"

#include <glib.h>

#include <algorithm>
#include <stdexcept>

namespace vesk::test {

// A response that waits: for a timer, or held until the server goes away.
struct LoopbackServer::Pending {
    SoupServerMessage* message = nullptr;  // referenced while pending
    Response response;
    guint timer = 0;
    gulong disconnected = 0;
    bool open = true;
};

LoopbackServer::LoopbackServer() {
    server_ = soup_server_new("server-header", "VeskTest", nullptr);
    soup_server_add_handler(server_, nullptr, &LoopbackServer::onRequest, this, nullptr);
    GError* error = nullptr;
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* address = g_inet_socket_address_new(loopback, 0);
    gboolean listening = soup_server_listen(server_, address, SoupServerListenOptions(0), &error);
    g_object_unref(address);
    g_object_unref(loopback);
    if (!listening) {
        std::string what = error ? error->message : "unknown error";
        g_clear_error(&error);
        g_object_unref(server_);
        throw std::runtime_error("the loopback server cannot listen: " + what);
    }
    GSList* uris = soup_server_get_uris(server_);
    port_ = uris ? static_cast<unsigned>(g_uri_get_port(static_cast<GUri*>(uris->data))) : 0;
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
}

LoopbackServer::~LoopbackServer() {
    // Answer whatever still waits, so no connection is left hanging.
    for (auto& pending : pending_) {
        if (pending->timer) g_source_remove(pending->timer);
        if (g_signal_handler_is_connected(pending->message, pending->disconnected)) {
            g_signal_handler_disconnect(pending->message, pending->disconnected);
        }
        if (pending->open) {
            soup_server_message_set_status(pending->message, 503, nullptr);
            soup_server_message_unpause(pending->message);
        }
        g_object_unref(pending->message);
    }
    soup_server_disconnect(server_);
    g_object_unref(server_);
}

void LoopbackServer::serve(const std::string& path, std::string html) {
    Response response;
    response.body = std::move(html);
    serve(path, std::move(response));
}

void LoopbackServer::serve(const std::string& path, Response response) {
    handlers_[path] = [response = std::move(response)](const Request&) { return response; };
}

void LoopbackServer::handle(const std::string& path, Handler handler) { handlers_[path] = std::move(handler); }

std::string LoopbackServer::url(std::string_view path, std::string_view host) const {
    std::string out = "http://" + std::string(host) + ":" + std::to_string(port_);
    if (path.empty() || path.front() != '/') out += '/';
    out += path;
    return out;
}

std::size_t LoopbackServer::hits(std::string_view path) const {
    return static_cast<std::size_t>(
        std::count_if(requests_.begin(), requests_.end(), [&](const Request& r) { return r.path == path; }));
}

void LoopbackServer::onRequest(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                               gpointer data) {
    auto* self = static_cast<LoopbackServer*>(data);
    Request request;
    request.method = soup_server_message_get_method(message);
    request.path = path;
    GUri* uri = soup_server_message_get_uri(message);
    if (const char* query = g_uri_get_query(uri)) request.query = query;
    SoupMessageBody* body = soup_server_message_get_request_body(message);
    if (body && body->length > 0) {
        GBytes* bytes = soup_message_body_flatten(body);
        gsize size = 0;
        const auto* raw = static_cast<const char*>(g_bytes_get_data(bytes, &size));
        request.body.assign(raw, size);
        g_bytes_unref(bytes);
    }
    SoupMessageHeadersIter iter;
    soup_message_headers_iter_init(&iter, soup_server_message_get_request_headers(message));
    const char* name = nullptr;
    const char* value = nullptr;
    while (soup_message_headers_iter_next(&iter, &name, &value)) {
        gchar* lower = g_ascii_strdown(name, -1);
        request.headers[lower] = value;
        g_free(lower);
    }
    self->requests_.push_back(request);

    auto found = self->handlers_.find(request.path);
    if (found == self->handlers_.end()) {
        Response missing;
        missing.status = 404;
        missing.body = "not found";
        missing.contentType = "text/plain";
        self->answer(message, missing);
        return;
    }
    Response response = found->second(request);
    if (!response.hold && response.delay <= Duration::zero()) {
        self->answer(message, response);
        return;
    }

    auto pending = std::make_shared<Pending>();
    pending->message = SOUP_SERVER_MESSAGE(g_object_ref(message));
    pending->response = std::move(response);
    soup_server_message_pause(message);
    // A client that gives up (an aborted fetch) ends the message on its own.
    pending->disconnected = g_signal_connect_swapped(
        message, "disconnected", G_CALLBACK(+[](Pending* p) { p->open = false; }), pending.get());
    if (!pending->response.hold) {
        auto ms = std::chrono::ceil<std::chrono::milliseconds>(pending->response.delay).count();
        struct Timer {
            LoopbackServer* server;
            Pending* pending;
        };
        pending->timer = g_timeout_add_full(
            G_PRIORITY_DEFAULT, static_cast<guint>(ms),
            [](gpointer data) -> gboolean {
                auto* timer = static_cast<Timer*>(data);
                Pending* p = timer->pending;
                p->timer = 0;
                if (p->open) {
                    p->open = false;
                    timer->server->answer(p->message, p->response);
                    soup_server_message_unpause(p->message);
                }
                return G_SOURCE_REMOVE;
            },
            new Timer{self, pending.get()}, [](gpointer data) { delete static_cast<Timer*>(data); });
    }
    self->pending_.push_back(std::move(pending));
}

void LoopbackServer::answer(SoupServerMessage* message, const Response& response) {
    SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
    for (const auto& [name, value] : response.headers) soup_message_headers_append(headers, name.c_str(), value.c_str());
    soup_server_message_set_status(message, response.status, nullptr);
    soup_server_message_set_response(message, response.contentType.c_str(), SOUP_MEMORY_COPY, response.body.data(),
                                     response.body.size());
}

void LoopbackServer::requireLogin(const std::string& path, Scheme scheme, std::string user, std::string password) {
    login_ = {std::move(user), std::move(password)};
    SoupAuthDomain* domain = nullptr;
    if (scheme == Scheme::basic) {
        domain = soup_auth_domain_basic_new("realm", "vesk", nullptr);
        soup_auth_domain_basic_set_auth_callback(
            domain,
            +[](SoupAuthDomain*, SoupServerMessage*, const char* user, const char* password, gpointer self) -> gboolean {
                const auto& login = static_cast<LoopbackServer*>(self)->login_;
                return login.first == user && login.second == password;
            },
            this, nullptr);
    } else {
        domain = soup_auth_domain_digest_new("realm", "vesk", nullptr);
        soup_auth_domain_digest_set_auth_callback(
            domain,
            +[](SoupAuthDomain*, SoupServerMessage*, const char* user, gpointer self) -> char* {
                const auto& login = static_cast<LoopbackServer*>(self)->login_;
                if (login.first != user) return nullptr;
                return soup_auth_domain_digest_encode_password(user, "vesk", login.second.c_str());
            },
            this, nullptr);
    }
    soup_auth_domain_add_path(domain, path.c_str());
    soup_server_add_auth_domain(server_, domain);
    g_object_unref(domain);
}

} // namespace vesk::test
