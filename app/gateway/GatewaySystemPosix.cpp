#include "app/gateway/GatewaySystem.h"
#include "base/StopSignals.h"

#include <csignal>

namespace orbel::gateway {

void UseConsoleText() {}

void HoldStopSignals() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A client that has gone fails its send instead of ending the program.
    std::signal(SIGPIPE, SIG_IGN);
}

void WaitForStopSignal() {
    while (!WaitForStopOrReload()) {
    }
}

bool WaitForStopOrReload() {
    const sigset_t set = StopSignals();
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    return signal != SIGHUP;
}

} // namespace orbel::gateway
