// What the simulated instrument answers, checked against reply frames written
// out by hand.
#include "sim/Instrument.h"

#include <gtest/gtest.h>

using namespace orbel::sim;
using std::chrono::milliseconds;

namespace {

Frame Request(std::uint8_t command, Bytes data) {
    return Frame{kBroadcastAddress, command, std::move(data), {}};
}

Options Exact() {
    Options o;
    o.address = 255;
    o.readings = {1000, 500, 100, 50};
    o.drift = false;
    return o;
}

} // namespace

TEST(SimInstrument, AnswersEachCommandWithItsLayout) {
    Options o = Exact();
    EXPECT_EQ(Answer(Request(kCmdReadings, {}), o, milliseconds(0)),
              (Bytes{0xFF, 0x02, 0x0B, 0x03, 0xE8, 0x01, 0xF4, 0x00, 0x64, 0x00, 0x32, 0x00, 0x00,
                     0x71, 0xF9}));
    EXPECT_EQ(
        Answer(Request(kCmdReadCoeffs, {0xB6, 0x00, 0x08}), o, milliseconds(0)),
        (Bytes{0xFF, 0xA5, 0x09, 0x00, 0x32, 0x03, 0x84, 0x00, 0x32, 0x03, 0x84, 0x0B, 0x83}));
    EXPECT_EQ(Answer(Request(kCmdCalibrate, {0xA0, 0x03, 0x01, 0xF4}), o, milliseconds(0)),
              (Bytes{0xFF, 0xA4, 0x02, 0x00, 0x70, 0xB3}));

    Options d; // the defaults
    EXPECT_EQ(Answer(Request(kCmdSignature, {}), d, milliseconds(0)),
              (Bytes{0x01, 0x20, 0x06, 0x01, 0x00, 0x2A, 0x01, 0x03, 0xFD, 0xFA}));
}

TEST(SimInstrument, CalibrationStoresTheValueOfItsPointOnly) {
    Options o = Exact();
    ASSERT_TRUE(Answer(Request(kCmdCalibrate, {0xA0, 0x02, 0xAB, 0xCD}), o, milliseconds(0)));
    EXPECT_EQ(o.coeffs, (std::array<std::uint16_t, 4>{50, 900, 0xABCD, 900}));
}

TEST(SimInstrument, MalformedOrUnknownRequestsGetNoAnswerAndChangeNothing) {
    const std::vector<Frame> requests{
        Request(0x21, {}),              // unknown command
        Request(kCmdSignature, {0x00}), // data where none belongs
        Request(kCmdReadCoeffs, {0xB6, 0x00, 0x09}),
        Request(kCmdCalibrate, {0xA0, 0x04, 0x00, 0x10}), // no point 4
        Request(kCmdCalibrate, {0xA1, 0x00, 0x00, 0x10}),
        Request(kCmdCalibrate, {0xA0, 0x00, 0x10}),
        Request(kCmdAltReply, {0x01}),
    };
    for (const Frame& request : requests) {
        Options o = Exact();
        EXPECT_FALSE(Answer(request, o, milliseconds(0))) << int{request.command};
        EXPECT_EQ(o.coeffs, Exact().coeffs);
    }
}

TEST(SimInstrument, AltReplyAnswersEverythingAndCarriesNothingOut) {
    Options o = Exact();
    o.altReply = true;
    const Bytes alt{0xFF, 0xFA, 0x02, 0x01, 0xD0, 0xA1};
    EXPECT_EQ(Answer(Request(kCmdSignature, {}), o, milliseconds(0)), alt);
    EXPECT_EQ(Answer(Request(0x77, {}), o, milliseconds(0)), alt);
    EXPECT_EQ(Answer(Request(kCmdCalibrate, {0xA0, 0x00, 0x00, 0x01}), o, milliseconds(0)), alt);
    EXPECT_EQ(o.coeffs, Exact().coeffs);
}

TEST(SimInstrument, DriftMovesSlowlyAndStaysInRange) {
    Options o;
    o.readings = {0, 1000, 500, 65535};
    std::array<std::uint16_t, 4> previous = ReadingsAt(o, milliseconds(0));
    std::array<bool, 4> moved{};
    for (int ms = 100; ms <= 120000; ms += 100) {
        const auto now = ReadingsAt(o, milliseconds(ms));
        EXPECT_EQ(now, ReadingsAt(o, milliseconds(ms))); // a function of time alone
        for (std::size_t i = 0; i < now.size(); ++i) {
            EXPECT_LE(now[i], 1000);
            EXPECT_LE(std::abs(now[i] - previous[i]), 2) << "channel value " << i << " at " << ms;
            moved[i] = moved[i] || now[i] != previous[i];
        }
        previous = now;
    }
    EXPECT_TRUE(moved[0] && moved[1] && moved[2]);
    o.drift = false;
    EXPECT_EQ(ReadingsAt(o, milliseconds(12345)), o.readings);
}
