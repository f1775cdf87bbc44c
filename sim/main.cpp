// orbel-sim: the simulated instrument as a program. The device path is the
// first line on standard output; SIGINT and SIGTERM end it with exit code 0,
// as does the hang-up that --hangup-after asks for. Bad options exit 2, a
// failure of the system 1.
#include "sim/CommandLine.h"
#include "sim/FrameLog.h"
#include "sim/Simulator.h"

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

void InstallHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace

int main(int argc, char** argv) {
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

    try {
        Simulator simulator(parsed.line->options);
        simulator.SetObserver([&log](const FrameRecord& record) { log.Write(record); });
        simulator.Start();
        g_simulator = &simulator;
        InstallHandlers();
        std::printf("%s\n", simulator.DevicePath().c_str());
        std::fflush(stdout);
        simulator.Run();
        g_simulator = nullptr;
    } catch (const std::exception& e) {
        g_simulator = nullptr;
        std::fprintf(stderr, "orbel-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
