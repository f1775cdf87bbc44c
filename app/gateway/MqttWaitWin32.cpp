#include "app/gateway/MqttWait.h"

#include <winsock2.h>

namespace orbel::gateway {

bool WaitForBroker(int socket, bool wantWrite, int wakerReadEnd, int timeoutMs, TMqttReady& ready) {
    fd_set readable;
    fd_set writable;
    fd_set failed; // a connect that failed shows here on Windows
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(static_cast<SOCKET>(wakerReadEnd), &readable);
    if (socket >= 0) {
        FD_SET(static_cast<SOCKET>(socket), &readable);
        FD_SET(static_cast<SOCKET>(socket), &failed);
        if (wantWrite) {
            FD_SET(static_cast<SOCKET>(socket), &writable);
        }
    }
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int rc = select(0, &readable, &writable, &failed, &timeout);
    ready = {};
    if (rc < 0) {
        return false;
    }
    ready.woken = FD_ISSET(static_cast<SOCKET>(wakerReadEnd), &readable) != 0;
    if (socket >= 0) {
        ready.readable = FD_ISSET(static_cast<SOCKET>(socket), &readable) != 0 ||
                         FD_ISSET(static_cast<SOCKET>(socket), &failed) != 0;
        ready.writable = FD_ISSET(static_cast<SOCKET>(socket), &writable) != 0;
    }
    return true;
}

void DrainWaker(int wakerReadEnd) {
    u_long waiting = 0;
    char bytes[64];
    while (ioctlsocket(static_cast<SOCKET>(wakerReadEnd), FIONREAD, &waiting) == 0 && waiting > 0) {
        recv(static_cast<SOCKET>(wakerReadEnd), bytes, sizeof bytes, 0);
    }
}

} // namespace orbel::gateway
