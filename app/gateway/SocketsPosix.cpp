#include "app/gateway/Sockets.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace orbel::gateway {

bool SplitListenAddress(const std::string& text, std::string& host, std::string& port) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
        return false;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    return !host.empty() && port.find_first_not_of("0123456789") == std::string::npos;
}

int ListenOn(const std::string& host, const std::string& port, std::string& reason) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        reason = gai_strerror(rc);
        return -1;
    }
    int fd = socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    const int yes = 1;
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        bind(fd, found->ai_addr, found->ai_addrlen) != 0 || listen(fd, 64) != 0) {
        reason = std::strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        fd = -1;
    }
    freeaddrinfo(found);
    return fd;
}

std::uint16_t BoundPort(int socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
    return ntohs(address.ss_family == AF_INET6 ? v6->sin6_port : v4->sin_port);
}

int AcceptClient(int listening) {
    for (;;) {
        const int fd = accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            return fd;
        }
        // A connection that went before it was taken, or a passing shortage:
        // the listening socket itself is still good.
        if (errno != EINTR && errno != ECONNABORTED && errno != EMFILE && errno != ENFILE &&
            errno != ENOBUFS && errno != ENOMEM && errno != EPROTO) {
            return -1;
        }
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            // Descriptors come back as clients leave.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

void TuneClient(int socket, int sendSeconds) {
    const int yes = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    timeval timeout{sendSeconds, 0};
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

void ShutDown(int socket) {
    shutdown(socket, SHUT_RDWR);
}

void CloseSocket(int socket) {
    close(socket);
}

void StopAccepting(int listening) {
    shutdown(listening, SHUT_RDWR); // a blocked accept returns
}

void CloseListening(int listening) {
    close(listening);
}

} // namespace orbel::gateway
