#pragma once

// A loopback port that refuses connections: bound, so that no one else takes
// it while it is held, and never listening.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace vesk::test {

class ClosedPort {
public:
    ClosedPort() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(socket_, reinterpret_cast<sockaddr*>(&address), length);
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~ClosedPort() { close(socket_); }
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;

    unsigned port() const { return port_; }
    // "http://127.0.0.1:PORT/path".
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    int socket_ = socket(AF_INET, SOCK_STREAM, 0);
    unsigned port_ = 0;
};

} // namespace vesk::test
