// Read time-out precision and exchange time of the serial port component,
// side by side with Qt's serial port module and pySerial, on one
// pseudo-terminal pair and with the same total time-out of 7 ms per byte.
//
// A responder thread plays the instrument on the master side: whenever five
// request bytes have come, it answers with thirteen. With nobody writing, the
// line stays silent, so a read of 13 bytes runs into its 91 ms time-out.
#include "serial/ComPort.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSerialPort>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <map>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/eventfd.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int TimeoutReads = 200;
constexpr int Exchanges = 1000;
constexpr int RequestLength = 5;
constexpr int ReplyLength = 13;
constexpr int MsPerByte = 7;
constexpr int BudgetMs = ReplyLength * MsPerByte;

using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The instrument's side of the line.
class Responder {
public:
    Responder() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
            ptsname_r(master_, name, sizeof name) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        slave_ = name;
        termios tio{};
        tcgetattr(master_, &tio);
        cfmakeraw(&tio);
        tcsetattr(master_, TCSANOW, &tio);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        stop_ = eventfd(0, EFD_CLOEXEC);
        thread_ = std::thread([this] { Run(); });
    }
    ~Responder() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(stop_, &one, sizeof one);
        thread_.join();
        close(stop_);
        close(master_);
    }
    const std::string& SlavePath() const { return slave_; }

private:
    void Run() {
        std::uint8_t reply[ReplyLength];
        for (int i = 0; i < ReplyLength; ++i) {
            reply[i] = static_cast<std::uint8_t>(i + 1);
        }
        int pending = 0;
        for (;;) {
            pollfd fds[2] = {{stop_, POLLIN, 0}, {master_, POLLIN, 0}};
            // While no one holds the slave the master reports a hang-up:
            // look again a little later.
            if (poll(fds, 2, -1) < 0 || fds[0].revents != 0) {
                return;
            }
            std::uint8_t chunk[256];
            const ssize_t n = read(master_, chunk, sizeof chunk);
            if (n <= 0) {
                poll(fds, 1, 1);
                continue;
            }
            pending += static_cast<int>(n);
            while (pending >= RequestLength) {
                pending -= RequestLength;
                [[maybe_unused]] const ssize_t w = write(master_, reply, sizeof reply);
            }
        }
    }

    int master_ = -1;
    int stop_ = -1;
    std::string slave_;
    std::thread thread_;
};

struct Figures {
    double timeoutMedianMs = 0;
    double timeoutP99Ms = 0;
    double exchangeMedianUs = 0;
};

// Runs `timedRead` (a 13-byte read that must time out) and `exchange` (a
// 5-byte write and a 13-byte read that the responder fills).
Figures Measure(const std::function<int()>& timedRead, const std::function<int()>& exchange) {
    std::vector<double> errors;
    for (int i = 0; i < TimeoutReads; ++i) {
        const auto start = Clock::now();
        const int got = timedRead();
        errors.push_back(MsSince(start) - BudgetMs);
        if (got != 0) {
            throw std::runtime_error("bytes arrived on a silent line");
        }
    }
    std::vector<double> times;
    for (int i = 0; i < Exchanges; ++i) {
        const auto start = Clock::now();
        const int got = exchange();
        times.push_back(MsSince(start) * 1000.0);
        if (got != ReplyLength) {
            throw std::runtime_error("short reply: " + std::to_string(got));
        }
    }
    return {Percentile(errors, 0.5), Percentile(errors, 0.99), Percentile(times, 0.5)};
}

Figures MeasureOurs(const std::string& device) {
    TComPort port;
    port.SetEvents({});
    port.SetPort(device);
    port.Parity().SetBits(prMark);
    port.Timeouts().SetReadTotalMultiplier(MsPerByte);
    port.Timeouts().SetWriteTotalMultiplier(200);
    port.SetConnected(true);
    std::uint8_t buffer[ReplyLength];
    const std::uint8_t request[RequestLength] = {0xFF, 0x20, 0x01, 0x99, 0xF0};
    return Measure([&] { return port.ReadBytes(buffer, ReplyLength); },
                   [&] {
                       port.WriteBytes(request, RequestLength);
                       return port.ReadBytes(buffer, ReplyLength);
                   });
}

// A read against one deadline, the way a Qt program waits for a reply.
int QtRead(QSerialPort& port, char* buffer, int count) {
    QDeadlineTimer deadline(BudgetMs, Qt::PreciseTimer);
    int got = 0;
    for (;;) {
        got += static_cast<int>(port.read(buffer + got, count - got));
        if (got >= count || deadline.hasExpired()) {
            return got;
        }
        port.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    }
}

Figures MeasureQt(const std::string& device) {
    QSerialPort port;
    port.setPortName(QString::fromStdString(device));
    if (!port.open(QIODevice::ReadWrite)) {
        throw std::runtime_error("QSerialPort: " + port.errorString().toStdString());
    }
    port.setBaudRate(9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::MarkParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    char buffer[ReplyLength];
    const char request[RequestLength] = {'\xFF', '\x20', '\x01', '\x99', '\xF0'};
    return Measure([&] { return QtRead(port, buffer, ReplyLength); },
                   [&] {
                       port.write(request, RequestLength);
                       port.waitForBytesWritten(RequestLength * 200 + 1000);
                       return QtRead(port, buffer, ReplyLength);
                   });
}

constexpr const char* PySerialScript = R"(
import statistics, sys, time
import serial

path, reads, exchanges, per_byte = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
budget = 13 * per_byte / 1000.0
port = serial.Serial(path, 9600, bytesize=8, parity=serial.PARITY_MARK, stopbits=1,
                     timeout=budget, write_timeout=5 * 0.2 + 1.0)
errors = []
for _ in range(reads):
    start = time.perf_counter()
    got = port.read(13)
    errors.append((time.perf_counter() - start - budget) * 1000.0)
    assert len(got) == 0
times = []
request = bytes([0xFF, 0x20, 0x01, 0x99, 0xF0])
for _ in range(exchanges):
    start = time.perf_counter()
    port.write(request)
    port.flush()
    got = port.read(13)
    times.append((time.perf_counter() - start) * 1e6)
    assert len(got) == 13
errors.sort()
print("timeout_median_ms", statistics.median(errors))
print("timeout_p99_ms", errors[min(len(errors) - 1, int(0.99 * (len(errors) - 1) + 0.5))])
print("exchange_median_us", statistics.median(times))
)";

Figures MeasurePySerial(const std::string& device) {
    char scriptPath[] = "/tmp/bench-serial-XXXXXX.py";
    const int fd = mkstemps(scriptPath, 3);
    if (fd < 0) {
        throw std::runtime_error("no temporary file for the pySerial script");
    }
    const std::string script = PySerialScript;
    [[maybe_unused]] const ssize_t n = write(fd, script.data(), script.size());
    close(fd);
    // The system interpreter, which has the distribution's pySerial; -I keeps
    // the working directory (with its serial/ folder) off the module path.
    const char* python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
    const std::string command = std::string(python) + " -I " + scriptPath + " " + device + " " +
                                std::to_string(TimeoutReads) + " " + std::to_string(Exchanges) +
                                " " + std::to_string(MsPerByte);
    FILE* pipe = popen(command.c_str(), "r");
    std::map<std::string, double> values;
    char name[64];
    double value = 0;
    while (pipe != nullptr && std::fscanf(pipe, "%63s %lf", name, &value) == 2) {
        values[name] = value;
    }
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    unlink(scriptPath);
    if (status != 0 || values.size() != 3) {
        throw std::runtime_error("the pySerial script failed");
    }
    return {values["timeout_median_ms"], values["timeout_p99_ms"], values["exchange_median_us"]};
}

void Print(const char* name, const Figures& f) {
    std::printf("%s read time-out error median (ms): %.3f\n", name, f.timeoutMedianMs);
    std::printf("%s read time-out error p99 (ms): %.3f\n", name, f.timeoutP99Ms);
    std::printf("%s exchange median (us): %.1f\n", name, f.exchangeMedianUs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        std::printf("reads per library: %d\nexchanges per library: %d\n", TimeoutReads, Exchanges);
        // Each library gets a fresh line: the settings one left behind must
        // not decide how the next one fares.
        const auto onFreshLine = [](const std::function<Figures(const std::string&)>& measure) {
            Responder responder;
            return measure(responder.SlavePath());
        };
        const Figures ours = onFreshLine(MeasureOurs);
        Print("ours", ours);
        const Figures qt = onFreshLine(MeasureQt);
        Print("qserialport", qt);
        const Figures py = onFreshLine(MeasurePySerial);
        Print("pyserial", py);
        const double best = std::min(qt.exchangeMedianUs, py.exchangeMedianUs);
        std::printf("exchange ratio ours/best-peer: %.2f\n", ours.exchangeMedianUs / best);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-serial: %s\n", e.what());
        return 1;
    }
    return 0;
}
