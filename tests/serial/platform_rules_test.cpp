// Rules of the platform layer that need no device: device names and the
// arithmetic of the time-outs.
#include "serial/platform/posix/DeviceNames.h"
#include "serial/platform/posix/PosixComAdapter.h"
#include "serial/platform/posix/TransferBudget.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>

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
    // Nothing is ever opened relative to the working directory.
    for (const char* name : {"\\\\.\\dev/ttyS0", "pts/4", "./ttyS0", "\\\\.\\..", ".", ""}) {
        EXPECT_EQ(ResolveDeviceName(name), "") << name;
    }
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
