#pragma once
// The signals that ask a POSIX program to end (Ctrl-C at a terminal, a
// service manager's stop), one set for every program that waits for them:
// orbel-cli, orbel-gateway and orbel-sim.
#include <csignal>

namespace orbel {

inline constexpr int StopSignalNumbers[] = {SIGINT, SIGTERM};

inline sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : StopSignalNumbers) {
        sigaddset(&set, signal);
    }
    return set;
}

// Sets `action` for every stop signal.
inline void HandleStopSignals(const struct sigaction& action) {
    for (const int signal : StopSignalNumbers) {
        sigaction(signal, &action, nullptr);
    }
}

} // namespace orbel
