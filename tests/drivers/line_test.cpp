// The signature exchange on whatever line ORBEL_GUEST_LINE names: the UART in
// the machine, or a pseudo-terminal on the host, for the same figure on both.
#include "GuestPort.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace orbel::guest;

TEST(Line, SignatureRoundTrip) {
    const std::string device = DeviceFromEnvironment("ORBEL_GUEST_LINE", "/dev/ttyS1");
    const CapturedDiagnostics quiet; // a pseudo-terminal drops the parity
    PlatformPort port(device);
    ASSERT_EQ(port.Configure(ToolLine(), ToolTimeouts()), 0);
    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
        const auto start = Clock::now();
        std::uint32_t written = 0;
        ASSERT_EQ(port.Write(kSignatureRequest, written), 0);
        Bytes reply;
        ASSERT_EQ(port.Read(static_cast<std::uint32_t>(kSignatureReply.size()), reply), 0);
        times.push_back(MillisecondsSince(start));
        ASSERT_EQ(reply, kSignatureReply) << "exchange " << i;
    }
    std::nth_element(times.begin(), times.begin() + 10, times.end());
    ReportFigure("signature_round_trip_median_ms " + device, times[10]);
}
