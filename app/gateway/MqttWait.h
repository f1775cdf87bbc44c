// The MQTT publisher's one wait: the broker's socket or a wake-up (the waker
// of Sockets.h), whichever comes first.
#pragma once

namespace orbel::gateway {

struct TMqttReady {
    bool readable = false;
    bool writable = false;
    bool woken = false;
};

// `socket` is -1 when there is no connection (then only the waker counts).
// False when the wait itself failed.
bool WaitForBroker(int socket, bool wantWrite, int wakerReadEnd, int timeoutMs, TMqttReady& ready);

// Takes every wake-up byte waiting.
void DrainWaker(int wakerReadEnd);

} // namespace orbel::gateway
