// Read time-out precision and exchange time on Windows: the serial port
// component ("ours", the same code as on Linux) beside the Win32 platform
// driven bare (the floor: what any code on these calls could reach). Each is
// given a COM port of its own with a simulated instrument behind it (default
// COM1 and COM6), at the exchange's 7 ms a byte; their blocks alternate so
// that a change in the machine's load reaches both alike.
//
// A read of 13 bytes with the line silent runs into its 91 ms time-out; an
// exchange writes the 5-byte signature request and reads the 10-byte reply.
#include "SerialBench.h"
#include "serial/platform/win32/Win32ComPlatform.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

using namespace orbel;

namespace {

using namespace serial_bench;

constexpr int TimeoutReads = 100;
constexpr int Exchanges = 500;
constexpr int Rounds = 10;
constexpr int SignatureReply = 10;
constexpr std::array<std::uint8_t, RequestLength> Request{0xFF, 0x20, 0x01, 0x99, 0xF0};

class Platform : public Library {
public:
    explicit Platform(const std::string& name) {
        TComDeviceControl line;
        line.BaudRate = 9600;
        line.Flags = DcbFlag::Binary;
        line.XonLim = line.XoffLim = 256;
        line.ByteSize = 8;
        line.Parity = 3;
        line.XonChar = 17;
        line.XoffChar = 19;
        const bool ok =
            platform_.Open(name, handle_).Ok() &&
            platform_.SetQueueSizes(handle_, 1024, 1024).Ok() &&
            platform_.SetDeviceControl(handle_, line).Ok() &&
            platform_.SetTimeouts(handle_, {0xFFFFFFFFu, MsPerByte, 0, 200, 1000}).Ok() &&
            platform_.Purge(handle_, PurgeFlag::RxClear | PurgeFlag::TxClear).Ok();
        if (!ok) {
            throw std::runtime_error("cannot open and set up " + name);
        }
    }
    ~Platform() override { platform_.Close(handle_); }

    std::vector<double> TimeoutErrors(int count) override { return Run(count, false); }
    std::vector<double> ExchangeTimes(int count) override { return Run(count, true); }

private:
    int Transfer(bool write, void* buffer, std::uint32_t count) {
        TComRequest request;
        std::uint32_t moved = 0;
        ComResult result = write ? platform_.StartWrite(handle_, buffer, count, request, moved)
                                 : platform_.StartRead(handle_, buffer, count, request, moved);
        if (result.IsPending()) {
            result = platform_.AwaitRequest(handle_, request, moved);
        }
        platform_.ReleaseRequest(request);
        return result.Ok() ? static_cast<int>(moved) : -1;
    }
    std::vector<double> Run(int count, bool exchanges) {
        return Time(
            count, [&] { return Transfer(false, buffer_.data(), ReplyLength); },
            [&] {
                auto request = Request;
                Transfer(true, request.data(), request.size());
                return Transfer(false, buffer_.data(), SignatureReply);
            },
            exchanges, SignatureReply);
    }

    TWin32ComPlatform platform_;
    ComHandle handle_ = InvalidComHandle;
    std::array<std::uint8_t, 64> buffer_{};
};

} // namespace

int main(int argc, char** argv) {
    const std::string ours = argc > 1 ? argv[1] : "COM1";
    const std::string floor = std::string("\\\\.\\") + (argc > 2 ? argv[2] : "COM6");
    try {
        std::printf("reads per contender: %d\nexchanges per contender: %d\n", TimeoutReads,
                    Exchanges);
        std::vector<std::pair<const char*, std::unique_ptr<Library>>> contenders;
        contenders.emplace_back("win32 ours", MakeOurs(ours, SignatureReply));
        contenders.emplace_back("win32 platform", std::make_unique<Platform>(floor));
        std::vector<Results> results(contenders.size());
        for (int round = 0; round < Rounds; ++round) {
            for (std::size_t i = 0; i < contenders.size(); ++i) {
                auto errors = contenders[i].second->TimeoutErrors(TimeoutReads / Rounds);
                auto times = contenders[i].second->ExchangeTimes(Exchanges / Rounds);
                results[i].errors.insert(results[i].errors.end(), errors.begin(), errors.end());
                results[i].times.insert(results[i].times.end(), times.begin(), times.end());
            }
        }
        for (std::size_t i = 0; i < contenders.size(); ++i) {
            Print(contenders[i].first, results[i]);
        }
        std::printf("win32 exchange ratio ours/platform: %.2f\n",
                    Percentile(results[0].times, 0.5) / Percentile(results[1].times, 0.5));
        std::printf("win32 time-out p99 ratio ours/platform: %.2f\n",
                    Percentile(results[0].errors, 0.99) / Percentile(results[1].errors, 0.99));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-serial-win32: %s\n", e.what());
        return 1;
    }
    return 0;
}
