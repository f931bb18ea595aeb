#pragma once

#include <gio/gio.h>

namespace vesk::test {

// A server that answers every connection in plain HTTP at once, so that a
// TLS handshake with it fails.
class PlainServer {
public:
    PlainServer() {
        GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
        GSocketAddress* address = g_inet_socket_address_new(loopback, 0);
        GSocketAddress* bound = nullptr;
        g_socket_listener_add_address(G_SOCKET_LISTENER(service_), address, G_SOCKET_TYPE_STREAM,
                                      G_SOCKET_PROTOCOL_TCP, nullptr, &bound, nullptr);
        port_ = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
        g_signal_connect(service_, "incoming", G_CALLBACK(answer), nullptr);
        g_object_unref(bound);
        g_object_unref(address);
        g_object_unref(loopback);
    }
    ~PlainServer() {
        g_socket_service_stop(service_);
        g_socket_listener_close(G_SOCKET_LISTENER(service_));
        g_object_unref(service_);
    }
    unsigned port() const { return port_; }

private:
    static gboolean answer(GSocketService*, GSocketConnection* connection, GObject*, gpointer) {
        static constexpr char reply[] = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        GOutputStream* out = g_io_stream_get_output_stream(G_IO_STREAM(connection));
        g_output_stream_write_all(out, reply, sizeof reply - 1, nullptr, nullptr, nullptr);
        g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
        return TRUE;
    }
    GSocketService* service_ = g_socket_service_new();
    unsigned port_ = 0;
};

} // namespace vesk::test
