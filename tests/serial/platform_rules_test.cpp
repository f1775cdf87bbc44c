// Rules of the platform layer that need no device: device names, the
// arithmetic of the time-outs, and the line events and line errors read from
// two snapshots of a terminal (a pseudo-terminal has no modem lines and no
// error counters to show them on).
#include "serial/platform/posix/DeviceNames.h"
#include "serial/platform/posix/PosixComPlatform.h"
#include "serial/platform/posix/PosixLineChanges.h"
#include "serial/platform/posix/TransferBudget.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <sys/ioctl.h>

using namespace orbel;

namespace {

class DeviceNames : public ::testing::Test {
protected:
    void SetUp() override {
        SetEnvironmentLookup([this](const std::string& name) -> std::optional<std::string> {
            const auto it = variables.find(name);
            return it == variables.end() ? std::nullopt : std::optional(it->second);
        });
    }
    void TearDown() override { SetEnvironmentLookup(nullptr); }

    std::map<std::string, std::string> variables;
};

} // namespace

TEST_F(DeviceNames, ComPortsResolveThroughTheEnvironmentOrToTtyS) {
    variables["ORBEL_COM1"] = "/dev/ttyUSB0";
    variables["ORBEL_COM4"] = "";
    EXPECT_EQ(ResolveDeviceName("\\\\.\\COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolveDeviceName("\\\\.\\COM2"), "/dev/ttyS1");
    EXPECT_EQ(ResolveDeviceName("\\\\.\\com3"), "/dev/ttyS2");
    EXPECT_EQ(ResolveDeviceName("\\\\.\\COM4"), "/dev/ttyS3"); // set but empty
    EXPECT_EQ(ResolveDeviceName("COM2"), "/dev/ttyS1");
}

TEST_F(DeviceNames, AbsolutePathsStandBareNamesAreInDevAndRelativePathsAreNoDevice) {
    variables["ORBEL_COM1"] = "/dev/ttyUSB0";
    EXPECT_EQ(ResolveDeviceName("\\\\.\\/dev/pts/4"), "/dev/pts/4");
    EXPECT_EQ(ResolveDeviceName("/dev/serial/by-id/x"), "/dev/serial/by-id/x");
    EXPECT_EQ(ResolveDeviceName("\\\\.\\ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolveDeviceName("ttyACM1"), "/dev/ttyACM1");
    EXPECT_EQ(ResolveDeviceName("\\\\.\\COM0"), "/dev/COM0");
    EXPECT_EQ(ResolveDeviceName("\\\\.\\COM1x"), "/dev/COM1x");
    // Nothing is ever opened relative to the working directory, whether the
    // name or the variable's value is the relative path.
    variables["ORBEL_COM2"] = "dev/ttyUSB0";
    for (const char* name :
         {"\\\\.\\dev/ttyS0", "pts/4", "./ttyS0", "\\\\.\\..", ".", "", "COM2"}) {
        EXPECT_EQ(ResolveDeviceName(name), "") << name;
    }
    variables["ORBEL_COM2"] = "ttyUSB1";
    EXPECT_EQ(ResolveDeviceName("COM2"), "/dev/ttyUSB1");
}

TEST(TransferBudget, ReadEndsAtCountTimesMultiplierPlusConstant) {
    const TComTimeoutRecord comPort1{0xFFFFFFFFu, 7, 0, 200, 1000};
    const TReadBudget read = ReadBudget(comPort1, 13);
    EXPECT_FALSE(read.immediate);
    EXPECT_EQ(read.totalMs, 91u);
    EXPECT_EQ(read.intervalMs, 0u);
    EXPECT_EQ(WriteBudgetMs(comPort1, 5), 2000u);
    EXPECT_EQ(ReadBudget({0xFFFFFFFFu, 0, 250, 0, 0}, 13).totalMs, 250u);
}

TEST(TransferBudget, NoTotalPartMeansAtOnceOrWaitForTheCount) {
    // The defaults of a fresh port: return at once with what is waiting.
    const TReadBudget atOnce = ReadBudget({0xFFFFFFFFu, 0, 0, 100, 1000}, 10);
    EXPECT_TRUE(atOnce.immediate);
    EXPECT_EQ(atOnce.totalMs, 0u);
    const TReadBudget untilCount = ReadBudget({20, 0, 0, 0, 0}, 10);
    EXPECT_FALSE(untilCount.immediate);
    EXPECT_EQ(untilCount.totalMs, NoDeadline);
    EXPECT_EQ(untilCount.intervalMs, 20u);
    EXPECT_EQ(WriteBudgetMs({0, 0, 0, 0, 0}, 10), NoDeadline);
}

TEST(TransferBudget, LargestValuesDoNotOverflow) {
    const TComTimeoutRecord huge{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    const std::uint64_t expected = 0x7FFFFFFFull * 0xFFFFFFFFull + 0xFFFFFFFFull;
    EXPECT_EQ(ReadBudget(huge, 0x7FFFFFFF).totalMs, expected);
    EXPECT_EQ(WriteBudgetMs(huge, 0x7FFFFFFF), expected);
    EXPECT_EQ(DeadlineNs(1'000'000'000, expected), NoDeadline);
    EXPECT_EQ(DeadlineNs(NoDeadline - 5, 0), NoDeadline - 5);
    EXPECT_EQ(DeadlineNs(5'000'000, 91), 96'000'000u);
}

TEST(LineChanges, EventsFollowWhatChangedBetweenTwoLooks) {
    using namespace EventMask;
    using namespace ModemStatus;
    const TErrorCounters none;
    const TLineWake quiet;
    const TLineWake input{true, false};
    const TLineWake output{false, true};
    const struct {
        const char* what;
        TLineSnapshot before;
        TLineSnapshot now;
        TLineWake woke;
        std::uint32_t events;
    } rows[] = {
        {"nothing", {}, {}, quiet, 0},
        {"bytes came", {}, {3, 0, 0, none}, input, RxChar},
        {"bytes came and were read", {}, {0, 0, 0, none}, input, 0},
        {"bytes waiting, no arrival", {3, 0, 0, none}, {3, 0, 0, none}, quiet, 0},
        {"input reaches 80 %",
         {3000, 0, 0, none},
         {Rx80Level, 0, 0, none},
         input,
         RxChar | Rx80Full},
        {"input stays above 80 %", {Rx80Level, 0, 0, none}, {4000, 0, 0, none}, input, RxChar},
        {"output drained", {0, 5, 0, none}, {0, 0, 0, none}, quiet, TxEmpty},
        {"short write drained between looks", {}, {}, output, TxEmpty},
        {"output still draining", {0, 5, 0, none}, {0, 2, 0, none}, output, 0},
        {"CTS on", {}, {0, 0, CtsOn, none}, quiet, Cts},
        {"DSR off", {0, 0, DsrOn | CtsOn, none}, {0, 0, CtsOn, none}, quiet, Dsr},
        {"carrier lost", {0, 0, RlsdOn, none}, {}, quiet, Rlsd},
        {"ring rises", {}, {0, 0, RingOn, none}, quiet, Ring},
        {"ring falls", {0, 0, RingOn, none}, {}, quiet, 0},
        {"all lines at once",
         {0, 0, RingOn, none},
         {0, 0, CtsOn | DsrOn | RlsdOn, none},
         quiet,
         Cts | Dsr | Rlsd},
        {"framing error", {}, {0, 0, 0, {1, 0, 0, 0, 0}}, quiet, Err},
        {"overrun", {}, {0, 0, 0, {0, 2, 0, 0, 0}}, quiet, Err},
        {"parity error", {}, {0, 0, 0, {0, 0, 1, 0, 0}}, quiet, Err},
        {"buffer overrun", {}, {0, 0, 0, {0, 0, 0, 0, 1}}, quiet, Err},
        {"break only", {}, {0, 0, 0, {0, 0, 0, 1, 0}}, quiet, Break},
        {"counters as before", {0, 0, 0, {4, 4, 4, 4, 4}}, {0, 0, 0, {4, 4, 4, 4, 4}}, quiet, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(LineEvents(row.before, row.now, row.woke), row.events) << row.what;
    }
}

TEST(LineChanges, ErrorsAreTheCountersThatMovedAndModemBitsTheLinesOn) {
    using namespace LineError;
    const struct {
        TErrorCounters now;
        std::uint32_t errors;
    } rows[] = {{{}, 0},
                {{1, 0, 0, 0, 0}, Frame},
                {{0, 1, 0, 0, 0}, Overrun},
                {{0, 0, 1, 0, 0}, RxParity},
                {{0, 0, 0, 1, 0}, Break},
                {{0, 0, 0, 0, 1}, RxOver},
                {{9, 9, 9, 9, 9}, Frame | Overrun | RxParity | Break | RxOver}};
    for (const auto& row : rows) {
        EXPECT_EQ(LineErrors({}, row.now), row.errors) << row.errors;
        EXPECT_EQ(LineErrors(row.now, row.now), 0u) << row.errors;
    }
    // A counter that wrapped around has moved too.
    EXPECT_EQ(LineErrors({2147483647, 0, 0, 0, 0}, {-2147483647 - 1, 0, 0, 0, 0}), Frame);

    EXPECT_EQ(ModemStatusOfLines(0), 0u);
    EXPECT_EQ(
        ModemStatusOfLines(TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CAR | TIOCM_DTR | TIOCM_RTS),
        ModemStatus::CtsOn | ModemStatus::DsrOn | ModemStatus::RingOn | ModemStatus::RlsdOn);
    EXPECT_EQ(ModemStatusOfLines(TIOCM_CAR), ModemStatus::RlsdOn);
}

TEST(PosixResults, EachErrnoHasItsKindAndStaysTheSystemCode) {
    struct {
        int error;
        bool opening;
        ComFault fault;
    } const cases[] = {
        {0, false, ComFault::None},
        {PosixIoPending, false, ComFault::Pending},
        {ECANCELED, false, ComFault::Cancelled},
        {EIO, false, ComFault::DeviceLost},
        {ENXIO, false, ComFault::DeviceLost},
        {ENODEV, false, ComFault::DeviceLost},
        {ENODEV, true, ComFault::NoDevice},
        {ENXIO, true, ComFault::NoDevice},
        {ENOENT, true, ComFault::NoDevice},
        {EBUSY, true, ComFault::Busy},
        {EWOULDBLOCK, true, ComFault::Busy},
        {EACCES, true, ComFault::AccessDenied},
        {EPERM, true, ComFault::AccessDenied},
        {EINVAL, false, ComFault::InvalidArgument},
        {EBADF, false, ComFault::Other},
    };
    for (const auto& c : cases) {
        const ComResult result = PosixResult(c.error, c.opening);
        EXPECT_EQ(result.Fault, c.fault) << c.error << (c.opening ? " at open" : "");
        EXPECT_EQ(result.SystemCode, c.error > 0 ? c.error : 0) << c.error;
    }
    EXPECT_EQ(SystemComPlatform().SystemErrorText(ENOENT), std::strerror(ENOENT));
}
