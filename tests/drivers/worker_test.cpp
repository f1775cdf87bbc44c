// The exchange worker as both front ends drive it, on whatever line
// ORBEL_GUEST_LINE names: the component's port with the instrument's line
// settings, the worker woken from this thread (whose main loop is the plain
// one), and the reply decoded. orbel-sim answers with its defaults and
// steady readings.
#include "GuestPort.h"

#include "protocol/CommandSet.h"
#include "protocol/Dispatch.h"
#include "protocol/EMUL_Functions.h"
#include "protocol/InstrumentPort.h"
#include "protocol/ReplyDecoder.h"
#include "protocol/UART_THREAT.h"
#include "serial/core/ComPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>

using namespace orbel;

using namespace orbel::guest;
using namespace EMUL_Functions;

namespace {

// The port and the worker, set up as the window and orbel-cli set up theirs.
class InstrumentLine : public IExchangeHost {
public:
    explicit InstrumentLine(const std::string& device) {
        ConfigureInstrumentLine(port_);
        exchangePort_.Attach(&port_);
        worker_ = std::make_unique<UART_THREAT>(*this);
        port_.SetPort(device);
        port_.SetConnected(true);
    }
    ~InstrumentLine() override { worker_.reset(); }
    InstrumentLine(const InstrumentLine&) = delete;
    InstrumentLine& operator=(const InstrumentLine&) = delete;

    IExchangePort& ExchangePort() override { return exchangePort_; }
    std::uint8_t TimeoutModeFlag() override { return tmSoftware; }

    // One request and its decoded reply; kind Other when none was accepted.
    TDecodedReply Exchange(int command, std::uint16_t tenths = 0) {
        ReplyDataLength = *BuildRequest(command, tenths, TxFrame);
        PrepareRequest();
        if (StartAndAwait(*worker_) != esAccepted) {
            return {};
        }
        return DecodeReply(RxFrame, ",");
    }

private:
    TComPort port_;
    TComPortExchange exchangePort_;
    std::unique_ptr<UART_THREAT> worker_; // last: it ends before the port closes
};

std::string Line() {
    return DeviceFromEnvironment("ORBEL_GUEST_LINE", "/dev/ttyS1");
}

} // namespace

TEST(Worker, FourCommandsAgainstTheInstrument) {
    const std::string device = Line();
    const CapturedDiagnostics diagnostics; // the pty of the host run drops the parity
    InstrumentLine line(device);

    std::vector<double> times;
    for (int i = 0; i < 11; ++i) {
        const auto start = Clock::now();
        const TDecodedReply signature = line.Exchange(ciSignature);
        times.push_back(MillisecondsSince(start));
        ASSERT_EQ(signature.kind, TReplyKind::Signature)
            << "exchange " << i << ": " << static_cast<int>(ExchangeOutcome);
        EXPECT_EQ(signature.serialNumber, "42");
    }
    std::nth_element(times.begin(), times.begin() + 5, times.end());
    ReportFigure("worker_signature_median_ms " + device, times[5]);
    // Against the line's own time on the 8250 line, whose instrument keeps a
    // 9600-baud line's pace: the 4 ms quiet gap, 5 request and 10 reply
    // characters of 1.146 ms, the 2 ms turnaround.
    if (device.starts_with("/dev/ttyS")) {
        ReportFigure("exchange_ratio_ours_line_signature " + device,
                     times[5] / (4.0 + 15 * 11000.0 / 9600 + 2.0));
    }

    const TDecodedReply readings = line.Exchange(ciReadings);
    ASSERT_EQ(readings.kind, TReplyKind::Readings);
    EXPECT_EQ(readings.sensorStatus, 0);
    EXPECT_EQ(readings.channels[0].levelTenths, 625);
    EXPECT_EQ(readings.channels[1].volumeTenths, 295);

    using Tenths = std::array<std::uint16_t, 4>;
    const TDecodedReply before = line.Exchange(ciReadCoeffs);
    ASSERT_EQ(before.kind, TReplyKind::Coefficients);
    EXPECT_EQ(before.coefficientTenths, (Tenths{50, 900, 50, 900}));

    // A calibration of C2 of channel 2 lands in the instrument; the old value
    // goes back afterwards, so that a later run finds the defaults.
    EXPECT_EQ(line.Exchange(ciCalibrateC2Channel2, 875).kind, TReplyKind::Calibrated);
    EXPECT_EQ(line.Exchange(ciReadCoeffs).coefficientTenths, (Tenths{50, 900, 50, 875}));
    EXPECT_EQ(line.Exchange(ciCalibrateC2Channel2, 900).kind, TReplyKind::Calibrated);
}
