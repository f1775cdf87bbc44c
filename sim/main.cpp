// orbel-sim: the simulated instrument as a program. The device path is the
// first line on standard output; SIGINT and SIGTERM end it with exit code 0,
// as does the hang-up that --hangup-after asks for. Bad options (a --line
// device that cannot be opened among them) exit 2; a failure of the system,
// or the loss of the --line device, 1.
#include "base/StandardStreams.h"
#include "base/StopSignals.h"
#include "sim/CommandLine.h"
#include "sim/FrameLog.h"
#include "sim/PtyPair.h"
#include "sim/Simulator.h"
#include "sim/TerminalLine.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

orbel::sim::Simulator* g_simulator = nullptr;

extern "C" void OnSignal(int /*signal*/) {
    if (g_simulator != nullptr) {
        g_simulator->Stop();
    }
}

// The stop signals stay blocked until the simulator can take them, so that
// one arriving during start-up is not lost and leaves no link behind.
sigset_t BlockStopSignals() {
    const sigset_t set = orbel::StopSignals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    orbel::HandleStopSignals(action);
    std::signal(SIGPIPE, SIG_IGN);
    return set;
}

// Sends the stop signals to `simulator` while it lives.
class SignalsTo {
public:
    SignalsTo(orbel::sim::Simulator& simulator, const sigset_t& signals) : signals_(signals) {
        g_simulator = &simulator;
        sigprocmask(SIG_UNBLOCK, &signals_, nullptr);
    }
    ~SignalsTo() {
        sigprocmask(SIG_BLOCK, &signals_, nullptr);
        g_simulator = nullptr;
    }
    SignalsTo(const SignalsTo&) = delete;
    SignalsTo& operator=(const SignalsTo&) = delete;

private:
    sigset_t signals_;
};

} // namespace

int main(int argc, char** argv) {
    orbel::OpenClosedStandardStreams(); // before the pseudo-terminal can take a free descriptor
    using namespace orbel::sim;
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    ParseResult parsed = ParseCommandLine(args);
    if (!parsed.line) {
        std::fprintf(stderr, "orbel-sim: %s\nTry 'orbel-sim --help'.\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.line->help) {
        std::fputs(Usage().c_str(), stdout);
        return 0;
    }

    FrameLog log;
    if (!parsed.line->logPath.empty() && !log.Open(parsed.line->logPath)) {
        std::fprintf(stderr, "orbel-sim: --log: cannot write '%s': %s\n",
                     parsed.line->logPath.c_str(), std::strerror(errno));
        return 2;
    }

    const sigset_t stopSignals = BlockStopSignals();
    try {
        Simulator simulator(parsed.line->options);
        simulator.SetObserver([&log](const FrameRecord& record) { log.Write(record); });
        simulator.Start();
        const SignalsTo route(simulator, stopSignals);
        std::printf("%s\n", simulator.DevicePath().c_str());
        std::fflush(stdout);
        if (simulator.Run() == Simulator::RunResult::LineLost) {
            std::fprintf(stderr, "orbel-sim: %s: the other end hung up\n",
                         simulator.DevicePath().c_str());
            return 1;
        }
    } catch (const LinkError& e) {
        std::fprintf(stderr, "orbel-sim: --link: %s\n", e.what());
        return 2;
    } catch (const LineError& e) {
        std::fprintf(stderr, "orbel-sim: --line: %s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orbel-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
