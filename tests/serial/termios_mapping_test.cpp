#include "serial/platform/posix/TermiosMapping.h"

#include <gtest/gtest.h>

using namespace orbel;

namespace {

TComDeviceControl Record(std::uint32_t baud, std::uint32_t flags, std::uint8_t byteSize,
                         std::uint8_t parity, std::uint8_t stopBits) {
    TComDeviceControl c;
    c.BaudRate = baud;
    c.Flags = flags;
    c.XonLim = 256;
    c.XoffLim = 256;
    c.ByteSize = byteSize;
    c.Parity = parity;
    c.StopBits = stopBits;
    c.XonChar = 17;
    c.XoffChar = 19;
    return c;
}

struct Row {
    const char* name;
    TComDeviceControl control;
    tcflag_t cflag; // speed bits included
    tcflag_t iflag;
    bool standardSpeed;
    bool dtrOn;
    bool rtsOn;
};

} // namespace

TEST(TermiosMapping, TableOfRecordsAndTheirTerminalFlags) {
    const Row rows[] = {
        {"the instrument's line: 9600 8 mark 1, no flow, DTR and RTS off",
         Record(9600, 0x0001, 8, 3, 0), B9600 | CS8 | PARENB | PARODD | CMSPAR | CLOCAL | CREAD, 0,
         true, false, false},
        {"space parity", Record(9600, 0x0001, 8, 4, 0),
         B9600 | CS8 | PARENB | CMSPAR | CLOCAL | CREAD, 0, true, false, false},
        {"7 even 2, RTS handshake with CTS output flow, DTR on",
         Record(19200, 0x0001 | 0x0004 | 0x0010 | 0x2000, 7, 2, 2),
         B19200 | CS7 | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD, 0, true, true, true},
        {"5 odd 1.5, XON/XOFF both ways, RTS on",
         Record(110, 0x0001 | 0x0100 | 0x0200 | 0x1000, 5, 1, 1),
         B110 | CS5 | PARENB | PARODD | CSTOPB | CLOCAL | CREAD, IXON | IXOFF, true, false, true},
        {"6 none 1, parity check without replacement", Record(115200, 0x0001 | 0x0002, 6, 0, 0),
         B115200 | CS6 | CLOCAL | CREAD, 0, true, false, false},
        {"parity check with replacement", Record(57600, 0x0001 | 0x0002 | 0x0400, 8, 2, 0),
         B57600 | CS8 | PARENB | CLOCAL | CREAD, INPCK, true, false, false},
        {"a speed without a B-constant", Record(250000, 0x0001, 8, 0, 0), CS8 | CLOCAL | CREAD, 0,
         false, false, false},
        {"14400 has no B-constant either", Record(14400, 0x0001, 8, 0, 0), CS8 | CLOCAL | CREAD, 0,
         false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TTermiosPlan plan = MapDeviceControl(row.control);
        EXPECT_EQ(plan.error, 0);
        EXPECT_EQ(plan.tio.c_cflag, row.cflag);
        EXPECT_EQ(plan.tio.c_iflag, row.iflag);
        EXPECT_EQ(plan.tio.c_oflag, 0u);
        EXPECT_EQ(plan.tio.c_lflag, 0u);
        EXPECT_EQ(plan.tio.c_cc[VMIN], 0);
        EXPECT_EQ(plan.tio.c_cc[VTIME], 0);
        EXPECT_EQ(plan.tio.c_cc[VSTART], 17);
        EXPECT_EQ(plan.tio.c_cc[VSTOP], 19);
        EXPECT_EQ(plan.standardSpeed, row.standardSpeed);
        EXPECT_EQ(plan.speed, row.control.BaudRate);
        EXPECT_EQ(plan.dtrOn, row.dtrOn);
        EXPECT_EQ(plan.rtsOn, row.rtsOn);
    }
}

TEST(TermiosMapping, RecordsNoDeviceCanTakeAreRefused) {
    EXPECT_EQ(MapDeviceControl(Record(0, 0x0001, 8, 0, 0)).error, EINVAL); // B0 hangs up
    EXPECT_EQ(MapDeviceControl(Record(9600, 0x0001, 9, 0, 0)).error, EINVAL);
    EXPECT_EQ(MapDeviceControl(Record(9600, 0x0001, 8, 5, 0)).error, EINVAL);
    EXPECT_EQ(MapDeviceControl(Record(9600, 0x0001, 8, 0, 3)).error, EINVAL);
}

TEST(TermiosMapping, FeaturesWithoutTerminalCounterpartAreNamed) {
    const auto plan =
        MapDeviceControl(Record(9600, 0x0001 | 0x0008 | 0x0020 | 0x0800 | 0x3000, 8, 0, 1));
    EXPECT_EQ(plan.error, 0);
    EXPECT_EQ(plan.notAvailable,
              (std::vector<std::string>{"1.5 stop bits (2 used)", "DTR handshake (DTR held on)",
                                        "RTS toggle (RTS held off)", "DSR output flow",
                                        "discarding null characters"}));
    EXPECT_TRUE(plan.dtrOn);
    EXPECT_FALSE(plan.rtsOn);
    EXPECT_TRUE(MapDeviceControl(Record(9600, 0x0001, 8, 3, 0)).notAvailable.empty());

    // The terminal's RTS/CTS switch covers both directions: half of it is
    // named, and both halves together are not.
    const auto ctsOnly = MapDeviceControl(Record(9600, 0x0001 | 0x0004, 8, 0, 0));
    EXPECT_NE(ctsOnly.tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(ctsOnly.notAvailable,
              std::vector<std::string>{"CTS output flow without RTS handshake (both used)"});
    const auto rtsOnly = MapDeviceControl(Record(9600, 0x0001 | 0x2000, 8, 0, 0));
    EXPECT_NE(rtsOnly.tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(rtsOnly.notAvailable,
              std::vector<std::string>{"RTS handshake without CTS output flow (both used)"});
    EXPECT_TRUE(
        MapDeviceControl(Record(9600, 0x0001 | 0x0004 | 0x2000, 8, 0, 0)).notAvailable.empty());
}

TEST(TermiosMapping, ReadBackNamesWhatTheDriverDropped) {
    const TLineState wanted{IXON, CS7 | PARENB | PARODD | CMSPAR | CSTOPB, 9600};
    // What a pseudo-terminal makes of it: 8 bits, no parity; the rest stays.
    const TLineState pty{IXON, CS8 | PARODD | CMSPAR | CSTOPB, 9600};
    EXPECT_EQ(RefusedSettings(wanted, pty),
              (std::vector<std::string>{"7 data bits", "mark parity"}));
    EXPECT_TRUE(RefusedSettings(wanted, wanted).empty());
    EXPECT_TRUE(RefusedSettings({0, CS8, 250000}, {0, CS8, 249600}).empty()); // within 2 %
    EXPECT_EQ(RefusedSettings({0, CS8, 250000}, {0, CS8, 230400}),
              (std::vector<std::string>{"250000 baud"}));

    EXPECT_EQ(ConfigurationWarning("/dev/pts/3", {"mark parity"}, {}),
              "serial: /dev/pts/3: the driver did not take mark parity; the port is used as it "
              "is\n");
    EXPECT_EQ(ConfigurationWarning("/dev/ttyS0", {}, {}), "");
}
