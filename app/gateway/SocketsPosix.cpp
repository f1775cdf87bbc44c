#include "app/gateway/Sockets.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orbel::gateway {

namespace {

// Kept open for the moment the descriptor limit is reached: closed, it lets
// one waiting connection be taken and ended instead of staying in the backlog.
int spareDescriptor = -1;

void TakeSpare() {
    if (spareDescriptor < 0) {
        spareDescriptor = open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
}

int RefuseAtTheLimit(int listening) {
    if (spareDescriptor < 0) {
        TakeSpare();
        return AcceptFailed;
    }
    close(spareDescriptor);
    spareDescriptor = -1;
    const int fd = accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
        close(fd);
    }
    TakeSpare();
    return fd >= 0 ? AcceptRefused : AcceptFailed;
}

} // namespace

int ListenOn(const std::string& host, const std::string& port, std::string& reason) {
    TakeSpare();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        reason = gai_strerror(rc);
        return -1;
    }
    int fd = socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                    found->ai_protocol);
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

void CloseListening(int listening) {
    close(listening);
}

int AcceptClient(int listening) {
    for (;;) {
        const int fd = accept4(listening, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            const int yes = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            return fd;
        }
        if (errno == EMFILE || errno == ENFILE) {
            return RefuseAtTheLimit(listening);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return -1;
        }
        // A connection that went before it was taken: look for the next one.
        if (errno != EINTR && errno != ECONNABORTED && errno != EPROTO) {
            return AcceptFailed; // out of memory or buffers: try again later
        }
    }
}

long ReceiveSome(int socket, std::uint8_t* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = recv(socket, buffer, size, 0);
        if (got >= 0) {
            return static_cast<long>(got);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return ReceiveLater;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

void CloseSocket(int socket) {
    close(socket);
}

bool WaitReadable(std::vector<TWaitItem>& items, int timeoutMs) {
    std::vector<pollfd> fds;
    fds.reserve(items.size());
    for (const TWaitItem& item : items) {
        fds.push_back({item.socket, POLLIN, 0});
    }
    const int rc = poll(fds.data(), fds.size(), timeoutMs);
    if (rc < 0 && errno != EINTR) {
        return false;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].ready = rc > 0 && fds[i].revents != 0;
    }
    return true;
}

bool MakeWaker(int& readEnd, int& writeEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    readEnd = fds[0];
    writeEnd = fds[1];
    return true;
}

void Wake(int writeEnd) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t sent = write(writeEnd, &byte, 1);
}

void CloseWaker(int readEnd, int writeEnd) {
    close(readEnd);
    close(writeEnd);
}

} // namespace orbel::gateway
