#pragma once
// The signals that ask a POSIX program to end (Ctrl-C at a terminal, a
// service manager's stop), one set for every program that waits for them.
#include <csignal>

namespace orbel {

inline sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace orbel
