// The calibration journal at 100,000 entries: the time of
// `orbel-cli journal --report --serial N` (the program in its own process,
// median of RUNS) set against the one second a technician is promised, and
// against reading the same file to its end (the floor of any report).
//
//   bench-journal [ENTRIES] [RUNS]
#include "journal/JournalChain.h"
#include "journal/JournalEntry.h"
#include "protocol/CommandSet.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace orbel;

namespace {

using Clock = std::chrono::steady_clock;

// A run of a technician's day: per instrument a signature read, a
// coefficients read, a calibration, a coefficients read; serials 1 to 500.
void WriteJournal(const std::string& path, int entries) {
    std::ofstream out(path, std::ios::binary);
    std::string prev(ChainStart);
    const int commands[] = {ciSignature, ciReadCoeffs, ciCalibrateC1Channel1, ciReadCoeffs};
    for (int i = 0; i < entries; ++i) {
        TEntryFacts facts;
        facts.writer = {"orbel-cli", "1.0.0", "bench-7", "ivanov", 1000 + i / 4};
        facts.port = "COM1";
        facts.device = "/dev/ttyS0";
        facts.answer.kind = TAnswerKind::Answered;
        facts.answer.outcome = EMUL_Functions::TExchangeOutcome::Accepted;
        facts.answer.request = {commands[i % 4], 125};
        facts.answer.requestBytes = {0xFF, 0xA4, 0x05, 0xA0, 0x00, 0x00, 0x7D, 0x23, 0x0A};
        facts.answer.receivedBytes = {0x01, 0xA4, 0x02, 0x00, 0x41, 0x5B};
        facts.answer.reply.coefficientTenths = {50, 900, 55, 905};
        facts.answer.time = std::chrono::system_clock::now();
        const auto serial = static_cast<std::uint16_t>(1 + (i / 4) % 500);
        facts.instrument = TIdentityRead{{1, 1, serial, 1, 3}, facts.answer.time};
        facts.asFound = TCoefficientsRead{{50, 900, 55, 905}, facts.answer.time};
        facts.value = 12.5;
        const std::string line = EntryLine(facts, prev);
        out << line << '\n';
        prev = Sha256Hex(line);
    }
}

double MedianMs(const std::string& command, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "bench-journal: failed: %s\n", command.c_str());
            std::exit(1);
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "orbel-bench-journal";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "calibration-journal.jsonl").string();
    WriteJournal(path, entries);
    const std::string cli = (std::filesystem::path(argv[0]).parent_path() / "orbel-cli").string();
    const std::string report =
        "ORBEL_JOURNAL='" + path + "' '" + cli + "' journal --report --serial 77 >/dev/null";
    const std::string floor = "cat '" + path + "' >/dev/null";
    const double reportMs = MedianMs(report, runs);
    const double floorMs = MedianMs(floor, runs);
    std::printf("journal of %d entries, %.1f MB\n", entries,
                static_cast<double>(std::filesystem::file_size(path)) / 1e6);
    std::printf("journal --report --serial N: %.0f ms; against the 1 s promised: %.2f\n", reportMs,
                reportMs / 1000.0);
    std::printf("against reading the file with cat (%.0f ms): %.1f\n", floorMs,
                reportMs / std::max(floorMs, 0.001));
    std::filesystem::remove_all(folder);
    return 0;
}
