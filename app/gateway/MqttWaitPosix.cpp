#include "app/gateway/MqttWait.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace orbel::gateway {

bool WaitForBroker(int socket, bool wantWrite, int wakerReadEnd, int timeoutMs, TMqttReady& ready) {
    pollfd fds[2] = {{wakerReadEnd, POLLIN, 0},
                     {socket, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0}};
    const int rc = poll(fds, socket >= 0 ? 2 : 1, timeoutMs);
    ready = {};
    if (rc < 0) {
        return errno == EINTR;
    }
    ready.woken = (fds[0].revents & POLLIN) != 0;
    if (socket >= 0) {
        // A hang-up or an error shows on the read, which then says why.
        ready.readable = (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        ready.writable = (fds[1].revents & POLLOUT) != 0;
    }
    return true;
}

void DrainWaker(int wakerReadEnd) {
    char bytes[64];
    while (read(wakerReadEnd, bytes, sizeof bytes) > 0) {
    }
}

} // namespace orbel::gateway
