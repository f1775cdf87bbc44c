#include "app/gateway/Sockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace orbel::gateway {

namespace {

SOCKET Handle(int socket) {
    return static_cast<SOCKET>(socket);
}

void StartWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

} // namespace

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
    StartWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) {
        reason = "no such address";
        return -1;
    }
    SOCKET s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    // No other program may take the same port while the gateway has it.
    const BOOL yes = TRUE;
    if (s == INVALID_SOCKET ||
        setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
                   sizeof yes) != 0 ||
        bind(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0 || listen(s, 64) != 0) {
        reason = "system error " + std::to_string(WSAGetLastError());
        if (s != INVALID_SOCKET) {
            closesocket(s);
        }
        s = INVALID_SOCKET;
    }
    freeaddrinfo(found);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}

std::uint16_t BoundPort(int socket) {
    sockaddr_storage address{};
    int length = sizeof address;
    if (getsockname(Handle(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
    return ntohs(address.ss_family == AF_INET6 ? v6->sin6_port : v4->sin_port);
}

int AcceptClient(int listening) {
    for (;;) {
        const SOCKET s = accept(Handle(listening), nullptr, nullptr);
        if (s != INVALID_SOCKET) {
            return static_cast<int>(s);
        }
        const int error = WSAGetLastError();
        if (error != WSAECONNRESET && error != WSAEINTR && error != WSAEMFILE &&
            error != WSAENOBUFS) {
            return -1; // the socket was closed to stop
        }
    }
}

void TuneClient(int socket, int sendSeconds) {
    const BOOL yes = TRUE;
    setsockopt(Handle(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes),
               sizeof yes);
    const DWORD timeout = static_cast<DWORD>(sendSeconds) * 1000;
    setsockopt(Handle(socket), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
}

void ShutDown(int socket) {
    shutdown(Handle(socket), SD_BOTH);
}

void CloseSocket(int socket) {
    closesocket(Handle(socket));
}

void StopAccepting(int listening) {
    closesocket(Handle(listening)); // only a close wakes a blocked accept here
}

void CloseListening(int) {
    // Closed already by StopAccepting.
}

} // namespace orbel::gateway
