// The component on real pseudo-terminals: bytes, exclusive use, aborts and
// hang-ups. Time windows are in the timing suite.
#include "PtyPortFixture.h"
#include "serial/platform/posix/PortDiagnostics.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <future>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace orbel;

TEST_F(PtyPort, BytesPassUnchangedBothWays) {
    testing::internal::CaptureStderr();
    port.SetConnected(true);
    const std::string warning = testing::internal::GetCapturedStderr();
    // A pseudo-terminal drops parity: said once on standard error, no failure.
    // Two lines: which device the name stands for, and what the driver refused.
    EXPECT_NE(warning.find("mark parity"), std::string::npos) << warning;
    EXPECT_NE(warning.find(" is " + pty.SlavePath() + "\n"), std::string::npos) << warning;
    EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 2) << warning;

    // Bytes a cooked or flow-controlled line would change or eat.
    const std::vector<std::uint8_t> reply = {0x01, 0x0D, 0x0A, 0x11, 0x13, 0x03, 0x04,
                                             0x7F, 0xFF, 0x00, 0x1C, 0x1A, 0x0D};
    pty.Write(reply);
    std::vector<std::uint8_t> got(13);
    EXPECT_EQ(port.ReadBytes(got.data(), 13), 13);
    EXPECT_EQ(got, reply);

    const std::uint8_t request[] = {0xFF, 0x20, 0x01, 0x0D, 0x11};
    EXPECT_EQ(port.WriteBytes(request, 5), 5);
    EXPECT_EQ(pty.Read(5, std::chrono::seconds(2)),
              std::vector<std::uint8_t>(request, request + 5));
}

TEST_F(PtyPort, AClosedOrMissingPortFailsWithItsCode) {
    const std::uint8_t byte = 0;
    try {
        port.WriteBytes(&byte, 1);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortCode(), CError_WriteFailed);
        EXPECT_EQ(e.SystemCode(), EBADF);
    }
    port.SetPort("/dev/orbel-no-such-device");
    try {
        port.SetConnected(true);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortCode(), CError_OpenFailed);
        EXPECT_EQ(e.SystemCode(), ENOENT);
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.DeviceHandle(), InvalidComHandle);
}

TEST_F(PtyPort, ASecondOpenOfAnOpenDeviceFails) {
    port.SetConnected(true);
    TComPort second;
    DesignComPort1(second);
    second.SetPort(pty.SlavePath());
    try {
        second.SetConnected(true);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortCode(), CError_OpenFailed);
        EXPECT_EQ(e.SystemCode(), EBUSY);
    }
    EXPECT_FALSE(second.Connected());
    // Another process cannot have it either (exit 0 would mean it could).
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        _exit(fd < 0 ? 1 : flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << status;
    // The first keeps working, and the device is free again once it closes.
    pty.Write({0x42});
    std::uint8_t byte = 0;
    EXPECT_EQ(port.ReadBytes(&byte, 1), 1);
    EXPECT_EQ(byte, 0x42);
    port.SetConnected(false);
    second.SetConnected(true);
    EXPECT_TRUE(second.Connected());
}

TEST_F(PtyPort, ClosingFromAnotherThreadEndsAWaitingReadOrABlockedWrite) {
    port.Timeouts().SetReadTotalConstant(20000);
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(20000);
    // More than the line takes while nobody reads the other end.
    std::vector<std::uint8_t> buffer(1 << 20);
    for (const bool write : {false, true}) {
        SCOPED_TRACE(write ? "write" : "read");
        port.SetConnected(true);
        std::atomic<pid_t> tid{0};
        auto transfer = std::async(std::launch::async, [&] {
            tid = gettid();
            const auto start = Clock::now();
            const int code = PortCodeOf([&] {
                const auto count = static_cast<std::int32_t>(write ? buffer.size() : 13);
                write ? port.WriteBytes(buffer.data(), count)
                      : port.ReadBytes(buffer.data(), count);
            });
            return std::make_pair(code, MsSince(start));
        });
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < deadline && (tid == 0 || !ThreadSleeping(tid))) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        port.SetConnected(false);
        ASSERT_EQ(transfer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        const auto [code, ms] = transfer.get();
        EXPECT_EQ(code, write ? CError_WriteFailed : CError_ReadFailed);
        EXPECT_LT(ms, 10000);
        EXPECT_FALSE(port.Connected());
    }
}

TEST_F(PtyPort, AnAbortWithNothingRunningDoesNotEndTheNextTransfer) {
    port.SetConnected(true);
    port.AbortTransfers();
    port.AbortTransfers();
    pty.Write({0x5A});
    std::uint8_t byte = 0;
    EXPECT_EQ(port.ReadBytes(&byte, 1), 1);
    EXPECT_EQ(byte, 0x5A);
    EXPECT_EQ(port.WriteBytes(&byte, 1), 1);
}

TEST_F(PtyPort, AHangUpEndsAReadAtOnceAsALostDevice) {
    port.Timeouts().SetReadTotalConstant(20000);
    port.SetConnected(true);
    std::atomic<pid_t> readerTid{0};
    auto reader = std::async(std::launch::async, [&] {
        readerTid = gettid();
        std::uint8_t buffer[13];
        try {
            port.ReadBytes(buffer, 13);
        } catch (const EComPort& e) {
            return std::make_pair(e.PortCode(), e.SystemCode());
        }
        return std::make_pair(0, 0);
    });
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline && (readerTid == 0 || !ThreadSleeping(readerTid))) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    pty.CloseMaster();
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(reader.get(), (std::make_pair<int, int>(CError_ReadFailed, EIO)));

    // Later transfers fail the same way instead of waiting; closing still works.
    std::uint8_t byte = 0;
    const auto start = Clock::now();
    try {
        port.ReadBytes(&byte, 1);
        ADD_FAILURE() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.SystemCode(), EIO);
    }
    EXPECT_LT(MsSince(start), 1000);
    try {
        port.WriteBytes(&byte, 1);
        ADD_FAILURE() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortCode(), CError_WriteFailed);
        EXPECT_EQ(e.SystemCode(), EIO);
    }
    port.SetConnected(false);
    EXPECT_FALSE(port.Connected());
}

TEST_F(PtyPort, PurgeDiscardsWaitingInputAndStatusWorksWithoutModemLines) {
    port.SetConnected(true);
    EXPECT_TRUE(port.LineSignals().Empty());
    EXPECT_TRUE(port.LineErrors().Empty());
    pty.Write({1, 2, 3});
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (port.BytesWaiting() < 3 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_EQ(port.BytesWaiting(), 3);
    port.PurgeBuffers(true, true);
    EXPECT_EQ(port.BytesWaiting(), 0);
    std::uint8_t byte = 0;
    EXPECT_EQ(port.ReadBytes(&byte, 1), 0);
}

TEST(PtyPortDefaults, AFreshPortReadsWhatIsWaitingAndReturnsAtOnce) {
    PtyPair pty;
    TComPort port; // time-outs at their defaults: interval -1, no total part
    port.SetEvents({});
    port.SetPort(pty.SlavePath());
    testing::internal::CaptureStderr();
    port.SetConnected(true);
    testing::internal::GetCapturedStderr();
    std::uint8_t buffer[10] = {};
    EXPECT_EQ(port.ReadBytes(buffer, 10), 0);
    pty.Write({7, 8, 9});
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (port.BytesWaiting() < 3 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_EQ(port.ReadBytes(buffer, 10), 3);
    EXPECT_EQ(buffer[2], 9);
}

TEST_F(PtyPort, ASpeedWithoutBConstantIsTaken) {
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    port.Parity().SetBits(prNone);
    testing::internal::CaptureStderr();
    port.SetConnected(true);
    port.SetBaudRate(br256000);
    // Only the line naming the device: no setting was refused.
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "serial: " + pty.SlavePath() + " is " + pty.SlavePath() + "\n");
    pty.Write({0x55});
    std::uint8_t byte = 0;
    EXPECT_EQ(port.ReadBytes(&byte, 1), 1);
}

// Calls racing a close or a purge: the close waits for every call on the
// descriptor, a started transfer holds no close up, a purge is no hang-up.
class PtyPortRaces : public PtyPort {
protected:
    void SetUp() override {
        PtyPort::SetUp();
        SetPortDiagnosticSink([](const std::string&) {});
    }
    void TearDown() override { SetPortDiagnosticSink({}); }
};

TEST_F(PtyPortRaces, SwitchingPortsWhileAnotherThreadPurgesNeverFailsTheOpen) {
    PtyPair other;
    port.SetConnected(true);
    std::atomic<bool> stop{false};
    std::atomic<int> purges{0};
    const auto purge = [&] {
        while (!stop) {
            try {
                port.PurgeBuffers(true, true);
                ++purges;
            } catch (const EComPort& e) {
                // Only a port caught closed may refuse.
                EXPECT_EQ(e.SystemCode(), EBADF);
            }
        }
    };
    std::thread purgers[2] = {std::thread(purge), std::thread(purge)};
    int failed = 0;
    for (int i = 0; i < 5000 && failed == 0; ++i) {
        try {
            port.SetPort(i % 2 == 0 ? other.SlavePath() : pty.SlavePath());
        } catch (const EComPort& e) {
            ADD_FAILURE() << "switch " << i << ": " << e.what();
            ++failed;
        }
    }
    stop = true;
    for (auto& purger : purgers) {
        purger.join();
    }
    EXPECT_EQ(failed, 0);
    EXPECT_GT(purges.load(), 0);
}

TEST_F(PtyPortRaces, ClosingCancelsStartedTransfersWithoutWaitingForTheirRelease) {
    port.SetConnected(true);
    auto written = port.CreateTransfer();
    const std::uint8_t bytes[3] = {1, 2, 3};
    port.StartWrite(bytes, 3, written.get());
    auto read = port.CreateTransfer();
    std::uint8_t buffer[5];
    EXPECT_EQ(port.StartRead(buffer, 5, read.get()), 0);
    port.ClosePort();
    EXPECT_FALSE(port.Connected());
    // The device is free again although neither transfer is released.
    TComPort second;
    DesignComPort1(second);
    second.SetPort(pty.SlavePath());
    second.SetConnected(true);
    EXPECT_TRUE(second.Connected());

    const auto awaited = [&port = port](TComTransfer* transfer) {
        try {
            port.AwaitTransfer(transfer);
        } catch (const EComPort& e) {
            return std::make_pair(e.PortCode(), e.SystemCode());
        }
        return std::make_pair(0, 0);
    };
    EXPECT_EQ(awaited(written.get()), (std::make_pair<int, int>(CError_WriteFailed, ECANCELED)));
    EXPECT_EQ(awaited(read.get()), (std::make_pair<int, int>(CError_ReadFailed, ECANCELED)));
    port.ReleaseTransfer(written);
    port.ReleaseTransfer(read);
    EXPECT_EQ(written, nullptr);
}

TEST_F(PtyPortRaces, APurgeOfTheInputDuringAReadIsNoLostDevice) {
    port.Timeouts().SetReadTotalConstant(20);
    port.SetConnected(true);
    std::atomic<bool> stop{false};
    std::thread purger([&] {
        while (!stop) {
            try {
                port.PurgeBuffers(true, false);
            } catch (const EComPort& e) {
                ADD_FAILURE() << e.what();
                return;
            }
        }
    });
    std::thread feeder([&] {
        const std::uint8_t byte = 0x55;
        while (!stop) {
            [[maybe_unused]] const ssize_t n = write(pty.MasterFd(), &byte, 1);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    int lost = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    for (int i = 0; i < 3000 && lost == 0 && Clock::now() < deadline; ++i) {
        std::uint8_t byte = 0;
        try {
            port.ReadBytes(&byte, 1);
        } catch (const EComPort& e) {
            ADD_FAILURE() << "read " << i << ": " << e.what();
            ++lost;
        }
    }
    stop = true;
    purger.join();
    feeder.join();
    EXPECT_EQ(lost, 0);
}

TEST(PosixModemLines, OnlyADriverWithoutModemLinesReadsAsNoLines) {
    IComPlatform& platform = SystemComPlatform();
    const auto modemStatus = [&](const std::string& path) {
        ComHandle handle = InvalidComHandle;
        if (const ComResult error = platform.Open(path, handle); !error.Ok()) {
            return std::make_pair(-error.SystemCode, 0u);
        }
        std::uint32_t status = 0xFFFF;
        const ComResult error = platform.GetModemStatus(handle, status);
        platform.Close(handle);
        return std::make_pair(error.SystemCode, status);
    };
    PtyPair pty;
    EXPECT_EQ(modemStatus(pty.SlavePath()), std::make_pair(0, 0u)); // ENOTTY: no lines
    // A device that is no terminal (its driver would answer EINVAL, which is
    // no empty set either) is not opened as a port at all.
    EXPECT_EQ(modemStatus("/dev/urandom").first, -ENOTTY);
}
