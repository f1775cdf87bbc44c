#pragma once
// The signals that ask a POSIX program to end (Ctrl-C at a terminal, a
// service manager's stop, a terminal closed), one set for every program that
// waits for them. orbel-gateway takes SIGHUP as a reload instead.
#include <csignal>

namespace orbel {

inline sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace orbel
