// How fast the tool exchanges with an instrument on a real line, and how much
// processor it burns while it waits. orbel-sim runs in its own process with a
// 9600-baud line's timing (--pace). First each command's rows: the wall time
// of a transaction against the line's own time for it. Then the real window
// sends signature requests and the tool's CPU time (user + system) is set
// against the wall time of the same run: a waiting thread that spins would
// give about 1.0. Last, the rows again behind a USB adapter's latency timer
// (orbel-sim --latency-timer) of 1 ms and of 16 ms, FTDI's default: the cost
// of the adapter's timer as a ratio to the line.
#include "ExchangeRows.h"
#include "common/SimProcess.h"
#include "protocol/EMUL_Functions.h"
#include "ui/ExceptionReport.h"
#include "ui/MessageBoxes.h"
#include "ui/Unit1.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace orbel;

namespace {

class QuietBoxes : public IMessageBoxes {
public:
    int shown = 0;
    TMsgAnswer Show(TMsgKind, const QString&, const QString& text, TMsgButtons) override {
        ++shown;
        std::fprintf(stderr, "bench-exchange: unexpected box: %s\n", text.toUtf8().constData());
        return TMsgAnswer::Cancel;
    }
};

} // namespace

int main(int argc, char** argv) {
    const int transactions = argc > 1 ? std::max(100, std::atoi(argv[1])) : 200;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    orbel::test::SimProcess sim({"--no-drift", "--pace", "--turnaround", "2"});
    const bool rowsAnswered = PrintExchangeRows(sim.DevicePath(), 50, 2.0);
    ::setenv("ORBEL_COM1", sim.DevicePath().c_str(), 1);

    QApplication app(argc, argv);
    QuietBoxes boxes;
    SetMessageBoxes(&boxes);
    InstallStandardExceptionReport();
    TForm1 window;
    window.TimerToREAD_OnTime();
    window.COM11->trigger();
    if (!window.ComPort1->Connected()) {
        std::fprintf(stderr, "bench-exchange: cannot open the simulated instrument\n");
        return 1;
    }

    int accepted = 0;
    const double cpuStart = CpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    for (int i = 0; i < transactions; ++i) {
        window.Button4Click();
        accepted += EMUL_Functions::ExchangeStatus.load() == EMUL_Functions::esAccepted ? 1 : 0;
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double cpu = CpuSeconds() - cpuStart;

    std::printf("transactions: %d\n", transactions);
    std::printf("accepted: %d\n", accepted);
    std::printf("mean transaction ms: %.1f\n", 1000.0 * wall / transactions);
    std::printf("cpu s: %.3f\n", cpu);
    std::printf("wall s: %.3f\n", wall);
    std::printf("cpu/wall ratio: %.4f\n", cpu / wall);
    SetMessageBoxes(nullptr);

    bool latencyAnswered = true;
    for (const char* timer : {"1", "16"}) {
        orbel::test::SimProcess behind(
            {"--no-drift", "--pace", "--turnaround", "2", "--latency-timer", timer});
        latencyAnswered = PrintExchangeRows(behind.DevicePath(), 30, 2.0,
                                            "latency " + std::string(timer) + " ms: ") &&
                          latencyAnswered;
    }
    return rowsAnswered && latencyAnswered && accepted == transactions && boxes.shown == 0 ? 0 : 1;
}
