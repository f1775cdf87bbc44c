// orbel-cli against orbel-sim on a pseudo-terminal, both in their own
// processes:
//   - the time from starting the program to its signature JSON line (median
//     of RUNS), set against the read budget of the signature reply (13 bytes
//     of 7 ms: 91 ms), which every exchange waits out;
//   - the CPU time (user + system) of a readings loop of REQUESTS back-to-back
//     requests, set against its wall time: a wait that spins gives about 1.0.
//
//   bench-cli [RUNS] [REQUESTS]
#include "common/SimProcess.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct TRun {
    double firstLineMs = -1; // from the start to the first line on standard output
    double wallMs = 0;
    double cpuMs = 0;
    int exitCode = -1;
    std::size_t lines = 0;
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

TRun RunCli(const std::vector<std::string>& args) {
    const std::string exe =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "orbel-cli").string();
    std::array<int, 2> out{};
    if (::pipe(out.data()) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> texts{exe};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& t : texts) {
        argv.push_back(t.data());
    }
    argv.push_back(nullptr);

    TRun run;
    const auto start = Clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "bench-cli: cannot start %s\n", exe.c_str());
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::array<char, 4096> chunk{};
    for (;;) {
        const ssize_t n = ::read(out[0], chunk.data(), chunk.size());
        if (n <= 0) {
            break;
        }
        const auto lines =
            static_cast<std::size_t>(std::count(chunk.data(), chunk.data() + n, '\n'));
        if (lines > 0 && run.lines == 0) {
            run.firstLineMs = Ms(Clock::now() - start);
        }
        run.lines += lines;
    }
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.wallMs = Ms(Clock::now() - start);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    run.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 20;
    const int requests = argc > 2 ? std::max(10, std::atoi(argv[2])) : 100;
    constexpr double ReadBudgetMs = 13 * 7;
    orbel::test::SimProcess sim({"--no-drift"});
    const std::string port = sim.DevicePath();

    std::vector<double> firstLine;
    for (int i = 0; i < runs; ++i) {
        const TRun run = RunCli({"--port", port, "--json", "signature"});
        if (run.exitCode != 0 || run.firstLineMs < 0) {
            std::fprintf(stderr, "bench-cli: signature run ended with %d\n", run.exitCode);
            return 1;
        }
        firstLine.push_back(run.firstLineMs);
    }
    std::sort(firstLine.begin(), firstLine.end());
    const double median = firstLine[firstLine.size() / 2];

    const TRun loop = RunCli({"--port", port, "--json", "readings", "--count",
                              std::to_string(requests), "--every", "0"});
    if (loop.exitCode != 0 || loop.lines != static_cast<std::size_t>(requests)) {
        std::fprintf(stderr, "bench-cli: readings loop ended with %d after %zu lines\n",
                     loop.exitCode, loop.lines);
        return 1;
    }

    std::printf("signature runs: %d\n", runs);
    std::printf("start to signature line median ms: %.1f\n", median);
    std::printf("start to signature line min ms: %.1f\n", firstLine.front());
    std::printf("start to signature line max ms: %.1f\n", firstLine.back());
    std::printf("read budget ms: %.0f\n", ReadBudgetMs);
    std::printf("start to line / read budget: %.2f\n", median / ReadBudgetMs);
    std::printf("readings requests: %d\n", requests);
    std::printf("readings wall ms: %.0f\n", loop.wallMs);
    std::printf("readings cpu ms: %.0f\n", loop.cpuMs);
    std::printf("readings cpu / wall: %.4f\n", loop.cpuMs / loop.wallMs);
    std::printf("summary: signature line %.2fx the read budget; readings loop cpu/wall %.4f\n",
                median / ReadBudgetMs, loop.cpuMs / loop.wallMs);
    return 0;
}
