#include "app/gateway/GatewaySystem.h"

#include "serial/platform/posix/PortDiagnostics.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace orbel::gateway {

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

void RoutePortDiagnostics(std::function<void(const std::string&)> sink) {
    SetPortDiagnosticSink(std::move(sink));
}

void GuardStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1) {
            // open takes the lowest free number: this one.
            const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (opened >= 0 && opened != fd) {
                close(opened);
            }
        }
    }
}

void HoldStopSignals() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A client that has gone fails its send instead of ending the program.
    std::signal(SIGPIPE, SIG_IGN);
}

void WaitForStopSignal() {
    const sigset_t set = StopSignals();
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
}

} // namespace orbel::gateway
