// The serial platform on a USB adapter: the kernel's ftdi_sio driver behind
// QEMU's FTDI model, whose other end orbel-sim serves on the host; and
// orbel-cli losing it. The host unplugs and replugs the adapter when asked on
// the console.
#include "GuestPort.h"
#include "LineControl.h"

#include "cli/CliProcess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace orbel::guest;
using orbel::test::CliProcess;
using orbel::test::CliResult;
using orbel::test::RunCli;
using std::chrono::milliseconds;

namespace {

std::string Usb() {
    return DeviceFromEnvironment("ORBEL_GUEST_USB", "/dev/ttyUSB0");
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The kernel's log from the moment it is made.
class KernelLog {
public:
    KernelLog() : fd_(::open("/dev/kmsg", O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
        ::lseek(fd_, 0, SEEK_END);
    }
    ~KernelLog() { ::close(fd_); }
    KernelLog(const KernelLog&) = delete;
    KernelLog& operator=(const KernelLog&) = delete;
    bool Readable() const { return fd_ >= 0; }

    // Whether a record since then holds `text`.
    bool Says(const std::string& text) {
        char record[1024];
        for (;;) {
            const ssize_t n = ::read(fd_, record, sizeof record - 1);
            if (n < 0 && errno == EPIPE) {
                continue; // records overwritten meanwhile
            }
            if (n <= 0) {
                return false;
            }
            if (std::string(record, static_cast<std::size_t>(n)).find(text) != std::string::npos) {
                return true;
            }
        }
    }

private:
    int fd_;
};

long FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

// Once the unplugged adapter is gone (a reopen finds no device), asks the host
// to plug it in again and waits for its device.
void Replug() {
    EXPECT_TRUE(WaitFor([] { return TryOpen(Usb()) == ENOENT; }, milliseconds(2000)))
        << "reopen after the unplug: " << TryOpen(Usb());
    const auto asked = Clock::now();
    AskHost("replug");
    ASSERT_TRUE(WaitFor([] { return Exists(Usb()); }, milliseconds(10000)));
    ReportFigure("usb.replug_asked_to_device_ms", MillisecondsSince(asked));
}

void ExpectSignature(const std::string& device) {
    PlatformPort port(device);
    ASSERT_EQ(port.Configure(ToolLine(), ToolTimeouts()), 0);
    std::uint32_t written = 0;
    ASSERT_EQ(port.Write(kSignatureRequest, written), 0);
    Bytes reply;
    ASSERT_EQ(port.Read(13, reply), 0);
    EXPECT_EQ(reply, kSignatureReply);
}

} // namespace

TEST(UsbAdapter, ExchangesWithTheInstrument) {
    ExpectSignature(Usb());
}

// QEMU's FTDI model refuses mark and space parity. The driver only logs it:
// the record it holds still says mark, so neither the read-back nor the
// platform can tell.
TEST(UsbAdapter, RefusalOfMarkParityIsSeenOnlyInTheKernelLog) {
    const struct {
        const char* parity;
        std::uint8_t bits;
        bool refused;
    } cases[] = {{"none", 0, false}, {"even", 2, false}, {"mark", 3, true}, {"space", 4, true}};
    LineControl control(Usb());
    for (const auto& c : cases) {
        PlatformPort port(Usb());
        KernelLog log;
        ASSERT_TRUE(log.Readable());
        const CapturedDiagnostics diagnostics;
        TComDeviceControl line = ToolLine();
        line.Parity = c.bits;
        EXPECT_EQ(port.Configure(line, ToolTimeouts()), 0) << c.parity;
        EXPECT_TRUE(diagnostics.Lines().empty()) << c.parity << ": " << diagnostics.Lines()[0];
        EXPECT_EQ(log.Says("FAILED to set databits/stopbits/parity"), c.refused) << c.parity;
        if (c.bits == 3) {
            EXPECT_TRUE(ParityIsMark(control.Held().cflag));
        }
    }
}

TEST(UsbAdapter, UnplugEndsTheReadAsLostAndReplugServesAgain) {
    {
        LineControl raw(Usb());
        PlatformPort port(Usb());
        TComTimeoutRecord timeouts = ToolTimeouts();
        timeouts.ReadTotalTimeoutConstant = 5000;
        ASSERT_EQ(port.Configure(ToolLine(), timeouts), 0);
        int result = 0;
        Bytes got;
        std::thread reader([&] { result = port.Read(13, got); });
        const auto asked = Clock::now();
        AskHost("unplug");
        reader.join();
        const double ms = MillisecondsSince(asked);
        EXPECT_EQ(result, EIO);
        EXPECT_LT(ms, 1000.0);
        ReportFigure("usb.unplug_asked_to_read_end_ms", ms);

        // What the driver gives a plain descriptor: a hang-up and the end of file.
        pollfd fd{raw.Fd(), POLLIN, 0};
        EXPECT_EQ(::poll(&fd, 1, 0), 1);
        EXPECT_NE(fd.revents & POLLHUP, 0);
        char byte = 0;
        EXPECT_EQ(::read(raw.Fd(), &byte, 1), 0);
    }
    Replug();
    ExpectSignature(Usb());
}

// orbel-cli reading on and on when the adapter goes: it ends at once with the
// port's exit code and both the component's and its own words for the loss;
// once the adapter is back, the next run answers.
TEST(UsbAdapter, UnplugEndsTheCliWithThreeAndReplugServesTheNextRun) {
    const std::string trace = "/tmp/orbel-cli-unplug.trace";
    std::remove(trace.c_str());
    CliProcess cli({.args = {"--port", Usb(), "--trace", trace, "readings", "--count", "0",
                             "--every", "100"}});
    ASSERT_TRUE(WaitFor([&] { return FileSize(trace) > 0; }, milliseconds(5000)))
        << "no exchange recorded";
    const auto asked = Clock::now();
    AskHost("unplug");
    const CliResult lost = cli.Finish(std::chrono::seconds(5));
    const double ms = MillisecondsSince(asked);
    EXPECT_EQ(lost.exitCode, 3) << lost.err;
    EXPECT_LT(ms, 1000.0);
    EXPECT_NE(lost.err.find("serial: " + Usb() + " lost: "), std::string::npos) << lost.err;
    EXPECT_NE(lost.err.find("orbel-cli: the device was lost"), std::string::npos) << lost.err;
    ReportFigure("usb.unplug_asked_to_cli_exit_ms", ms);

    Replug();
    const CliResult next = RunCli({.args = {"--port", Usb(), "signature"}});
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_NE(next.out.find("Cерийный № 42"), std::string::npos) << next.out;
}
