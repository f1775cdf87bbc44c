// bench-gateway: orbel-gateway under load against the floor of a bare
// libmodbus server answering a fixed map, side by side in one run.
//
// N clients (default 50) each read the whole map (18 input registers) in a
// loop for S seconds (default 10), first from the floor, then from the
// gateway polling orbel-sim. Prints requests per second, p50 and p99 latency,
// the gateway's poll periods over the run (as it sent them, from its exchange
// trace, and as the simulator got them, from its frame log)
// and the gateway's resident memory at the start and the end of the load.
//
//   bench-gateway [CLIENTS [SECONDS]]

#include "common/SimProcess.h"

#include <modbus.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;
using orbel::test::SimProcess;

namespace {

constexpr int MapSize = 18;

struct Load {
    double rps = 0;
    double p50us = 0;
    double p99us = 0;
    long errors = 0;
};

// N clients, each on its own connection, reading the map until the deadline.
Load RunClients(int port, int clients, std::chrono::seconds length) {
    std::vector<std::vector<float>> latencies(static_cast<std::size_t>(clients));
    std::atomic<long> errors{0};
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i) {
        threads.emplace_back([&, i] {
            modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
            const bool connected = modbus_connect(ctx) == 0;
            auto& mine = latencies[static_cast<std::size_t>(i)];
            mine.reserve(200000);
            ++ready;
            while (!go.load()) {
                std::this_thread::yield();
            }
            const Clock::time_point end = Clock::now() + length;
            std::uint16_t registers[MapSize];
            while (connected && Clock::now() < end) {
                const Clock::time_point start = Clock::now();
                if (modbus_read_input_registers(ctx, 0, MapSize, registers) != MapSize) {
                    ++errors;
                    continue;
                }
                mine.push_back(
                    std::chrono::duration<float, std::micro>(Clock::now() - start).count());
            }
            errors += connected ? 0 : 1;
            modbus_close(ctx);
            modbus_free(ctx);
        });
    }
    while (ready.load() < clients) {
        std::this_thread::yield();
    }
    go = true;
    for (auto& t : threads) {
        t.join();
    }
    std::vector<float> all;
    for (auto& l : latencies) {
        all.insert(all.end(), l.begin(), l.end());
    }
    std::sort(all.begin(), all.end());
    Load load;
    load.errors = errors.load();
    if (!all.empty()) {
        load.rps = static_cast<double>(all.size()) / static_cast<double>(length.count());
        load.p50us = all[all.size() / 2];
        load.p99us = all[all.size() * 99 / 100];
    }
    return load;
}

// The floor: libmodbus's own multi-client server shape (one select loop, a
// fixed mapping, modbus_receive and modbus_reply), in a child process.
pid_t StartFloor(int& port) {
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", 0);
    int listening = -1;
    for (port = 15600; port < 15700 && listening < 0; ++port) {
        modbus_free(ctx);
        ctx = modbus_new_tcp("127.0.0.1", port);
        listening = modbus_tcp_listen(ctx, 64);
    }
    --port;
    const pid_t pid = fork();
    if (pid != 0) {
        close(listening);
        modbus_free(ctx);
        return pid;
    }
    modbus_mapping_t* map = modbus_mapping_new(0, 4, MapSize, MapSize);
    for (int i = 0; i < MapSize; ++i) {
        map->tab_input_registers[i] = map->tab_registers[i] = static_cast<std::uint16_t>(i * 11);
    }
    fd_set all;
    FD_ZERO(&all);
    FD_SET(listening, &all);
    int top = listening;
    std::uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
    for (;;) {
        fd_set readable = all;
        if (select(top + 1, &readable, nullptr, nullptr, nullptr) < 0) {
            _exit(1);
        }
        for (int fd = 0; fd <= top; ++fd) {
            if (!FD_ISSET(fd, &readable)) {
                continue;
            }
            if (fd == listening) {
                const int client = accept(listening, nullptr, nullptr);
                if (client >= 0) {
                    FD_SET(client, &all);
                    top = std::max(top, client);
                }
                continue;
            }
            modbus_set_socket(ctx, fd);
            const int length = modbus_receive(ctx, request);
            if (length <= 0 || modbus_reply(ctx, request, length, map) < 0) {
                close(fd);
                FD_CLR(fd, &all);
            }
        }
    }
}

// The gateway as its own process, its standard error into `errors`; its
// port from its first line there.
pid_t StartGateway(const std::string& device, int clients, const std::string& errors,
                   const std::string& trace, int& port) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const std::string self = SimProcess::ExecutablePath();
    const std::string program = self.substr(0, self.rfind('/')) + "/orbel-gateway";
    const std::string max = std::to_string(clients + 4);
    std::vector<const char*> argv = {program.c_str(), "--port",        device.c_str(), "--listen",
                                     "127.0.0.1:0",   "--max-clients", max.c_str(),    "--trace",
                                     trace.c_str(),   nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv.data()),
                    environ) != 0) {
        std::fprintf(stderr, "bench-gateway: cannot start %s\n", program.c_str());
        std::exit(1);
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    std::string line;
    while (line.find('\n') == std::string::npos && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(errors);
        std::getline(in, line);
        line += in ? "\n" : "";
    }
    port = std::atoi(line.substr(line.rfind(':') + 1).c_str());
    return pid;
}

long RssKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

// Periods between readings requests in the simulator's log, inside [from, to] ms.
std::vector<long> PollPeriods(const std::string& log, long from, long to) {
    std::ifstream in(log);
    std::string line;
    std::vector<long> starts;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        long ms = 0;
        std::string direction, address, command;
        if (words >> ms >> direction >> address >> command && direction == "RX" &&
            command == "02" && ms >= from && ms <= to) {
            starts.push_back(ms);
        }
    }
    std::vector<long> periods;
    for (std::size_t i = 1; i < starts.size(); ++i) {
        periods.push_back(starts[i] - starts[i - 1]);
    }
    return periods;
}

// Milliseconds since local midnight, as the exchange trace stamps its lines.
long LocalMs(std::chrono::system_clock::time_point t) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() % 1000;
    return ((local.tm_hour * 60L + local.tm_min) * 60 + local.tm_sec) * 1000 + ms;
}

// Periods between the readings requests the gateway sent, from its trace.
std::vector<long> SentPeriods(const std::string& trace, long from, long to) {
    std::ifstream in(trace);
    std::string date, time, direction, address, command;
    std::string line;
    std::vector<long> starts;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        int h = 0, m = 0;
        double sec = 0;
        if (words >> date >> time >> direction >> address >> command && direction == "TX" &&
            command == "02" && std::sscanf(time.c_str(), "%d:%d:%lf", &h, &m, &sec) == 3) {
            const long ms = std::lround(((h * 60.0 + m) * 60.0 + sec) * 1000.0);
            if (ms >= from && ms <= to) {
                starts.push_back(ms);
            }
        }
    }
    std::vector<long> periods;
    for (std::size_t i = 1; i < starts.size(); ++i) {
        periods.push_back(starts[i] - starts[i - 1]);
    }
    return periods;
}

void PrintPeriods(const char* where, const std::vector<long>& periods) {
    if (periods.empty()) {
        std::printf("poll period under load, %s: no two polls\n", where);
        return;
    }
    const auto [lo, hi] = std::minmax_element(periods.begin(), periods.end());
    std::printf("poll period under load, %s: %zu periods, %ld..%ld ms (goal 1300 +- 5)\n", where,
                periods.size(), *lo, *hi);
}

void Row(const char* name, const Load& l, double floorRps) {
    std::printf("%-10s %10.0f %8.2f %9.0f %9.0f %7ld\n", name, l.rps, l.rps / floorRps, l.p50us,
                l.p99us, l.errors);
}

} // namespace

int main(int argc, char** argv) {
    const int clients = argc > 1 ? std::atoi(argv[1]) : 50;
    const std::chrono::seconds length(argc > 2 ? std::atoi(argv[2]) : 10);
    signal(SIGPIPE, SIG_IGN);

    int floorPort = 0;
    const pid_t floor = StartFloor(floorPort);
    const std::string log = "/tmp/bench-gateway-" + std::to_string(getpid()) + ".log";
    SimProcess sim({"--log", log});
    // The simulated instrument stands in for hardware, which no load on this
    // machine delays: ahead of every other program where that is allowed.
    const bool simAhead = setpriority(PRIO_PROCESS, static_cast<id_t>(sim.Pid()), -5) == 0;
    const Clock::time_point simStart = Clock::now();
    int gatewayPort = 0;
    const std::string errors = "/tmp/bench-gateway-" + std::to_string(getpid()) + ".err";
    const std::string trace = "/tmp/bench-gateway-" + std::to_string(getpid()) + ".trace";
    const pid_t gateway = StartGateway(sim.DevicePath(), clients, errors, trace, gatewayPort);

    std::printf("bench-gateway: %d clients, %lld s each, 18 input registers a request\n", clients,
                static_cast<long long>(length.count()));
    const Load floorLoad = RunClients(floorPort, clients, length);
    kill(floor, SIGKILL);
    waitpid(floor, nullptr, 0);

    std::this_thread::sleep_for(std::chrono::seconds(3)); // a few polls before the load
    const long rssStart = RssKiB(gateway);
    const auto ms = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - simStart)
            .count();
    };
    const long loadFrom = ms();
    const long wallFrom = LocalMs(std::chrono::system_clock::now());
    const Load gatewayLoad = RunClients(gatewayPort, clients, length);
    const long loadTo = ms();
    const long wallTo = LocalMs(std::chrono::system_clock::now());
    const long rssEnd = RssKiB(gateway);
    kill(gateway, SIGTERM);
    int status = 0;
    waitpid(gateway, &status, 0);
    sim.Stop();

    std::printf("%-10s %10s %8s %9s %9s %7s\n", "server", "rps", "/floor", "p50 us", "p99 us",
                "errors");
    Row("floor", floorLoad, floorLoad.rps);
    Row("gateway", gatewayLoad, floorLoad.rps);
    PrintPeriods("as the gateway sent", SentPeriods(trace, wallFrom, wallTo));
    // The simulator's clock started a little before ours: a margin of a period.
    PrintPeriods("as the instrument got them", PollPeriods(log, loadFrom - 100, loadTo + 100));
    std::printf("simulated instrument at nice %s\n", simAhead ? "-5" : "0 (not allowed more)");
    std::printf("gateway RSS: %ld KiB at the start of the load, %ld KiB at the end\n", rssStart,
                rssEnd);
    std::printf("gateway exit on SIGTERM: %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    if (std::getenv("BENCH_KEEP_LOG") == nullptr) {
        std::remove(log.c_str());
        std::remove(errors.c_str());
        std::remove(trace.c_str());
    }
    return 0;
}
