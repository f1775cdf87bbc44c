#include "app/gateway/Sockets.h"

// Room in an fd_set for every client --max-clients allows and the server's own.
#define FD_SETSIZE 1024
#include <winsock2.h>
#include <ws2tcpip.h>

#include "base/WideText.h"

#include <mutex>

namespace orbel::gateway {

namespace {

SOCKET Handle(int socket) {
    return static_cast<SOCKET>(socket);
}

bool NonBlocking(SOCKET s) {
    u_long yes = 1;
    return ioctlsocket(s, FIONBIO, &yes) == 0;
}

// The system's words for a socket error, with its number: "Only one usage of
// each socket address ... is normally permitted. (10048)".
std::string Reason(int code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string words = length != 0 && text != nullptr
                            ? Utf8FromWide(std::wstring_view(text, length))
                            : std::string("system error");
    ::LocalFree(text);
    while (!words.empty() &&
           (words.back() == '\n' || words.back() == '\r' || words.back() == ' ')) {
        words.pop_back();
    }
    return words + " (" + std::to_string(code) + ")";
}

void StartWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

} // namespace

int ListenOn(const std::string& host, const std::string& port, std::string& reason) {
    StartWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        reason = Reason(rc);
        return -1;
    }
    SOCKET s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    // No other program may take the same port while the gateway has it. Not
    // blocking, as on POSIX: a connection reset between the wait and accept
    // leaves the queue, and accept would then wait for the next one
    // (accept's documentation: WSAECONNRESET).
    const BOOL yes = TRUE;
    if (s == INVALID_SOCKET ||
        setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
                   sizeof yes) != 0 ||
        !NonBlocking(s) || bind(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0 ||
        listen(s, 64) != 0) {
        reason = Reason(WSAGetLastError());
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

void CloseListening(int listening) {
    closesocket(Handle(listening));
}

int AcceptClient(int listening) {
    for (;;) {
        const SOCKET s = accept(Handle(listening), nullptr, nullptr);
        if (s != INVALID_SOCKET) {
            const BOOL yes = TRUE;
            setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes),
                       sizeof yes);
            NonBlocking(s);
            return static_cast<int>(s);
        }
        // A connection that went before it was taken: look for the next one;
        // none waiting (WSAEWOULDBLOCK) or any other failure: none now.
        if (WSAGetLastError() != WSAECONNRESET) {
            return -1;
        }
    }
}

long ReceiveSome(int socket, std::uint8_t* buffer, std::size_t size) {
    const int got =
        recv(Handle(socket), reinterpret_cast<char*>(buffer), static_cast<int>(size), 0);
    if (got >= 0) {
        return got;
    }
    return WSAGetLastError() == WSAEWOULDBLOCK ? ReceiveLater : -1;
}

void CloseSocket(int socket) {
    closesocket(Handle(socket));
}

bool WaitReadable(std::vector<TWaitItem>& items, int timeoutMs) {
    // select rather than WSAPoll, which Wine does not wake for accepted sockets.
    fd_set readable;
    FD_ZERO(&readable);
    for (const TWaitItem& item : items) {
        FD_SET(Handle(item.socket), &readable);
    }
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int rc = select(0, &readable, nullptr, nullptr, &timeout);
    if (rc < 0) {
        return false;
    }
    for (TWaitItem& item : items) {
        item.ready = rc > 0 && FD_ISSET(Handle(item.socket), &readable);
    }
    return true;
}

// Windows has no pipe a socket wait can watch: a UDP socket sending to itself.
bool MakeWaker(int& readEnd, int& writeEnd) {
    StartWinsock();
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (s == INVALID_SOCKET ||
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (s != INVALID_SOCKET) {
            closesocket(s);
        }
        return false;
    }
    readEnd = writeEnd = static_cast<int>(s);
    return true;
}

void Wake(int writeEnd) {
    const char byte = 1;
    send(Handle(writeEnd), &byte, 1, 0);
}

void CloseWaker(int readEnd, int) {
    closesocket(Handle(readEnd));
}

} // namespace orbel::gateway
