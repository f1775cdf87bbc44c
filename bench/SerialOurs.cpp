// The serial port component as the serial benchmark measures it, on Linux and
// on Windows alike.
#include "SerialBench.h"
#include "serial/core/ComPort.h"

#include <cstdint>

using namespace orbel;

namespace serial_bench {

namespace {

class Ours : public Library {
public:
    Ours(const std::string& device, int reply) : reply_(reply) {
        port_.SetEvents({});
        port_.SetPort(device);
        port_.Parity().SetBits(prMark);
        port_.Timeouts().SetReadTotalMultiplier(MsPerByte);
        port_.Timeouts().SetWriteTotalMultiplier(200);
        port_.SetConnected(true);
    }
    std::vector<double> TimeoutErrors(int count) override { return Run(count, false); }
    std::vector<double> ExchangeTimes(int count) override { return Run(count, true); }

private:
    std::vector<double> Run(int count, bool exchanges) {
        return Time(
            count, [&] { return port_.ReadBytes(buffer_, ReplyLength); },
            [&] {
                port_.WriteBytes(Request, RequestLength);
                return port_.ReadBytes(buffer_, reply_);
            },
            exchanges, reply_);
    }
    static constexpr std::uint8_t Request[RequestLength] = {0xFF, 0x20, 0x01, 0x99, 0xF0};
    TComPort port_;
    int reply_;
    std::uint8_t buffer_[ReplyLength] = {};
};

} // namespace

std::unique_ptr<Library> MakeOurs(const std::string& device, int reply) {
    return std::make_unique<Ours>(device, reply);
}

} // namespace serial_bench
