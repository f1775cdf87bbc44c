// How long decoding a reply takes, and building its JSON line, each set
// against the CRC-16 of the same frame (which every accepted reply costs
// anyway), per command. Ratios of one run: the machine's speed cancels out.
//
//   bench-decode [ROUNDS]
#include "protocol/EMUL_Functions.h"
#include "protocol/ReplyDecoder.h"
#include "protocol/ReplyJson.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

using namespace orbel;

namespace {

using Clock = std::chrono::steady_clock;

volatile std::size_t sink = 0;

template <typename Work> double NsPerRound(int rounds, Work work) {
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        sink = sink + work();
    }
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / rounds;
}

struct TRow {
    const char* name;
    std::initializer_list<std::uint8_t> bytes; // address first, without the CRC
};

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 200'000;
    const TRow rows[] = {
        {"signature", {0x01, 0x20, 0x06, 0x01, 0x00, 0x2A, 0x01, 0x03}},
        {"readings", {0xFF, 0x02, 0x0B, 0x02, 0x71, 0x02, 0x44, 0x01, 0x54, 0x01, 0x27, 0x00}},
        {"coefficients", {0xFF, 0xA5, 0x09, 0x00, 0x32, 0x03, 0x84, 0x00, 0x32, 0x03, 0x84}},
        {"calibrate", {0xFF, 0xA4, 0x02, 0x00}},
    };
    for (const TRow& row : rows) {
        EMUL_Functions::TFrame frame{};
        std::copy(row.bytes.begin(), row.bytes.end(), frame.begin());
        const auto length = static_cast<std::uint8_t>(row.bytes.size());
        const double crc = NsPerRound(rounds, [&] { return EMUL_Functions::CRC16(length, frame); });
        const double decode =
            NsPerRound(rounds, [&] { return DecodeReply(frame, ",").memoLines.size(); });
        const TDecodedReply reply = DecodeReply(frame, ",");
        const double json = NsPerRound(rounds, [&] { return ReplyJson(reply, {}).size(); });
        std::printf("%s: crc ns %.1f, decode ns %.1f, json ns %.1f\n", row.name, crc, decode, json);
        std::printf("%s: decode/crc %.2f, json/crc %.2f\n", row.name, decode / crc, json / crc);
    }
    return 0;
}
