// Read time-out precision and exchange time of the serial port component,
// side by side with Qt's serial port module and pySerial, on one
// pseudo-terminal pair and with the same total time-out of 7 ms per byte;
// beside them the floor, the same with bare system calls, says how much any
// serial code could still win.
//
// A responder thread plays the instrument on the master side: whenever five
// request bytes have come, it answers with thirteen. With nobody writing, the
// line stays silent, so a read of 13 bytes runs into its 91 ms time-out.
#include "SerialBench.h"

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
#include <memory>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace serial_bench;

constexpr int TimeoutReads = 200;
constexpr int Exchanges = 1000;
constexpr int Rounds = 20;

// The instrument's side of every line, served by one thread so that no
// library gets a responder the scheduler happens to place better.
class Responder {
public:
    explicit Responder(int lines) {
        for (int i = 0; i < lines; ++i) {
            const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
            char name[128];
            if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
                ptsname_r(master, name, sizeof name) != 0) {
                throw std::runtime_error("no pseudo-terminal");
            }
            termios tio{};
            tcgetattr(master, &tio);
            cfmakeraw(&tio);
            tcsetattr(master, TCSANOW, &tio);
            fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
            lines_.push_back({master, name, 0});
        }
        stop_ = eventfd(0, EFD_CLOEXEC);
        thread_ = std::thread([this] { Run(); });
    }
    ~Responder() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(stop_, &one, sizeof one);
        thread_.join();
        close(stop_);
        for (const Line& line : lines_) {
            close(line.master);
        }
    }
    const std::string& SlavePath(int line) const {
        return lines_[static_cast<std::size_t>(line)].slave;
    }

private:
    struct Line {
        int master;
        std::string slave;
        int pending;
    };

    void Run() {
        std::uint8_t reply[ReplyLength];
        for (int i = 0; i < ReplyLength; ++i) {
            reply[i] = static_cast<std::uint8_t>(i + 1);
        }
        std::vector<pollfd> fds(lines_.size() + 1);
        fds[0] = {stop_, POLLIN, 0};
        for (;;) {
            for (std::size_t i = 0; i < lines_.size(); ++i) {
                fds[i + 1] = {lines_[i].master, POLLIN, 0};
            }
            if (poll(fds.data(), fds.size(), -1) < 0 || fds[0].revents != 0) {
                return;
            }
            bool hungUp = false;
            for (std::size_t i = 0; i < lines_.size(); ++i) {
                if (fds[i + 1].revents == 0) {
                    continue;
                }
                Line& line = lines_[i];
                std::uint8_t chunk[256];
                const ssize_t n = read(line.master, chunk, sizeof chunk);
                if (n <= 0) {
                    hungUp = true; // no one holds this slave yet (or any more)
                    continue;
                }
                line.pending += static_cast<int>(n);
                while (line.pending >= RequestLength) {
                    line.pending -= RequestLength;
                    [[maybe_unused]] const ssize_t w = write(line.master, reply, sizeof reply);
                }
            }
            if (hungUp) {
                poll(fds.data(), 1, 1); // until the line is taken: look again shortly
            }
        }
    }

    std::vector<Line> lines_;
    int stop_ = -1;
    std::thread thread_;
};

// Qt's serial port, reading against one deadline the way a Qt program waits
// for a reply.
class QtSerial : public Library {
public:
    explicit QtSerial(const std::string& device) {
        port_.setPortName(QString::fromStdString(device));
        if (!port_.open(QIODevice::ReadWrite)) {
            throw std::runtime_error("QSerialPort: " + port_.errorString().toStdString());
        }
        port_.setBaudRate(9600);
        port_.setDataBits(QSerialPort::Data8);
        port_.setParity(QSerialPort::MarkParity);
        port_.setStopBits(QSerialPort::OneStop);
        port_.setFlowControl(QSerialPort::NoFlowControl);
    }
    std::vector<double> TimeoutErrors(int count) override { return Run(count, false); }
    std::vector<double> ExchangeTimes(int count) override { return Run(count, true); }

private:
    int Read() {
        QDeadlineTimer deadline(BudgetMs, Qt::PreciseTimer);
        int got = 0;
        for (;;) {
            got += static_cast<int>(port_.read(buffer_ + got, ReplyLength - got));
            if (got >= ReplyLength || deadline.hasExpired()) {
                return got;
            }
            port_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        }
    }
    std::vector<double> Run(int count, bool exchanges) {
        static constexpr char request[RequestLength] = {'\xFF', '\x20', '\x01', '\x99', '\xF0'};
        return Time(
            count, [&] { return Read(); },
            [&] {
                port_.write(request, RequestLength);
                port_.waitForBytesWritten(RequestLength * 200 + 1000);
                return Read();
            },
            exchanges);
    }
    QSerialPort port_;
    char buffer_[ReplyLength] = {};
};

// pySerial in a Python process that takes its orders on standard input
// ("T n": n time-outs, "X n": n exchanges) and answers each with one line of
// figures, so that its blocks can alternate with the others'.
constexpr const char* PySerialScript = R"(
import sys, time
import serial

path, per_byte = sys.argv[1], int(sys.argv[2])
budget = 13 * per_byte / 1000.0
port = serial.Serial(path, 9600, bytesize=8, parity=serial.PARITY_MARK, stopbits=1,
                     timeout=budget, write_timeout=5 * 0.2 + 1.0)
request = bytes([0xFF, 0x20, 0x01, 0x99, 0xF0])
while True:
    order = sys.stdin.readline().split()
    if not order:
        break
    values = []
    for _ in range(int(order[1])):
        start = time.perf_counter()
        if order[0] == 'X':
            port.write(request)
            port.flush()
        got = port.read(13)
        elapsed = time.perf_counter() - start
        if order[0] == 'X':
            assert len(got) == 13
            values.append(elapsed * 1e6)
        else:
            assert len(got) == 0
            values.append((elapsed - budget) * 1000.0)
    print(' '.join(repr(v) for v in values), flush=True)
)";

class PySerial : public Library {
public:
    explicit PySerial(const std::string& device) {
        char path[] = "/tmp/bench-serial-XXXXXX.py";
        const int fd = mkstemps(path, 3);
        if (fd < 0) {
            throw std::runtime_error("no temporary file for the pySerial script");
        }
        script_ = path;
        const std::string text = PySerialScript;
        [[maybe_unused]] const ssize_t n = write(fd, text.data(), text.size());
        close(fd);
        int toChild[2];
        int fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
            throw std::runtime_error("no pipes for the pySerial process");
        }
        // The system interpreter, which has the distribution's pySerial; -I
        // keeps the working directory (with its serial/ folder) off the path.
        const char* python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
        const std::string perByte = std::to_string(MsPerByte);
        child_ = fork();
        if (child_ == 0) {
            dup2(toChild[0], STDIN_FILENO);
            dup2(fromChild[1], STDOUT_FILENO);
            execlp(python, python, "-I", script_.c_str(), device.c_str(), perByte.c_str(),
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        orders_ = fdopen(toChild[1], "w");
        answers_ = fdopen(fromChild[0], "r");
    }
    ~PySerial() override {
        std::fclose(orders_); // end of orders: the script ends
        std::fclose(answers_);
        int status = 0;
        waitpid(child_, &status, 0);
        unlink(script_.c_str());
    }
    std::vector<double> TimeoutErrors(int count) override { return Ask('T', count); }
    std::vector<double> ExchangeTimes(int count) override { return Ask('X', count); }

private:
    std::vector<double> Ask(char order, int count) {
        std::fprintf(orders_, "%c %d\n", order, count);
        std::fflush(orders_);
        std::vector<double> values;
        char* text = nullptr;
        std::size_t size = 0;
        if (getline(&text, &size, answers_) > 0) {
            const char* p = text;
            char* end = nullptr;
            for (double v = std::strtod(p, &end); end != p; v = std::strtod(p, &end)) {
                values.push_back(v);
                p = end;
            }
        }
        std::free(text);
        if (static_cast<int>(values.size()) != count) {
            throw std::runtime_error("the pySerial process failed");
        }
        return values;
    }
    std::string script_;
    pid_t child_ = -1;
    FILE* orders_ = nullptr;
    FILE* answers_ = nullptr;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        std::printf("reads per library: %d\nexchanges per library: %d\n", TimeoutReads, Exchanges);
        // Each library on a line of its own, all open at once; their blocks
        // alternate so that a change in the machine's load reaches all alike.
        Responder responder(4);
        const std::vector<std::pair<const char*, std::unique_ptr<Library>>> libraries = [&] {
            std::vector<std::pair<const char*, std::unique_ptr<Library>>> list;
            list.emplace_back("ours", MakeOurs(responder.SlavePath(0)));
            list.emplace_back("qserialport", std::make_unique<QtSerial>(responder.SlavePath(1)));
            list.emplace_back("pyserial", std::make_unique<PySerial>(responder.SlavePath(2)));
            list.emplace_back("floor", MakeFloor(responder.SlavePath(3)));
            return list;
        }();
        std::vector<Results> results(libraries.size());
        for (int round = 0; round < Rounds; ++round) {
            for (std::size_t i = 0; i < libraries.size(); ++i) {
                auto errors = libraries[i].second->TimeoutErrors(TimeoutReads / Rounds);
                auto times = libraries[i].second->ExchangeTimes(Exchanges / Rounds);
                results[i].errors.insert(results[i].errors.end(), errors.begin(), errors.end());
                results[i].times.insert(results[i].times.end(), times.begin(), times.end());
            }
        }
        for (std::size_t i = 0; i < libraries.size(); ++i) {
            Print(libraries[i].first, results[i]);
        }
        const double ours = Percentile(results[0].times, 0.5);
        const double best =
            std::min(Percentile(results[1].times, 0.5), Percentile(results[2].times, 0.5));
        const double floor = Percentile(results[3].times, 0.5);
        std::printf("exchange ratio ours/floor: %.2f\n", ours / floor);
        std::printf("time-out p99 ratio ours/floor: %.2f\n",
                    Percentile(results[0].errors, 0.99) / Percentile(results[3].errors, 0.99));
        std::printf("exchange ratio ours/best-peer: %.2f\n", ours / best);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-serial: %s\n", e.what());
        return 1;
    }
    return 0;
}
