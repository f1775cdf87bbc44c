// orbel-cli, the static build beside this program, on whatever line
// ORBEL_GUEST_LINE names, against orbel-sim's defaults with steady readings.
#include "GuestPort.h"

#include "cli/CliProcess.h"

#include <gtest/gtest.h>

using namespace orbel::guest;
using orbel::test::CliResult;
using orbel::test::RunCli;

TEST(Cli, SignatureAndFiveReadings) {
    const std::string device = DeviceFromEnvironment("ORBEL_GUEST_LINE", "/dev/ttyS1");

    const CliResult signature = RunCli({.args = {"--port", device, "signature"}});
    EXPECT_EQ(signature.exitCode, 0) << signature.err;
    EXPECT_EQ(signature.out, "Адрес прибора 1\nТип прибора 1\nCерийный № 42\n"
                             "Версия HARD 1\nВерсия SOFT 3\n");
    // Both drivers keep mark parity in their record (the FTDI model refuses it
    // only in the kernel's log): no read-back warning.
    EXPECT_EQ(signature.err.find("did not take"), std::string::npos) << signature.err;

    const CliResult readings =
        RunCli({.args = {"--port", device, "readings", "--count", "5", "--every", "100", "--csv"}});
    EXPECT_EQ(readings.exitCode, 0) << readings.err;
    int lines = 0;
    for (std::size_t at = 0;
         (at = readings.out.find("Z,0,62.5,58.0,34.0,29.5\n", at)) != std::string::npos; ++at) {
        ++lines;
    }
    EXPECT_EQ(lines, 5) << readings.out;
}

// The line the suite runs on is listed with its kernel driver, and the menu
// item that reaches it follows ORBEL_COMn. No udev in this machine: sysfs alone.
TEST(Cli, PortsListsTheLineWithItsDriverAndMenuItem) {
    const std::string device = DeviceFromEnvironment("ORBEL_GUEST_LINE", "/dev/ttyS1");
    const bool usb = device.find("ttyUSB") != std::string::npos;
    const CliResult plain = RunCli({.args = {"ports"}});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    const std::size_t at = plain.out.find(device + "  ");
    ASSERT_NE(at, std::string::npos) << plain.out;
    const std::string line = plain.out.substr(at, plain.out.find('\n', at) - at);
    // QEMU's adapter is an FT232 by its ids, with ftdi_sio's latency timer
    // read from sysfs; the UART is reached by COM2 as /dev/ttyS1.
    EXPECT_NE(line.find(usb ? "0403:6001, ftdi_sio, latency timer " : "  COM2"), std::string::npos)
        << line;
    if (usb) {
        EXPECT_NE(line.find(" ms  no menu item"), std::string::npos) << line;
    }
    EXPECT_EQ(line.find("unknown adapter"), std::string::npos) << line;

    const CliResult mapped = RunCli({.args = {"--json", "ports"}, .env = {"ORBEL_COM1=" + device}});
    EXPECT_NE(mapped.out.find(R"({"port":")" + device + "\""), std::string::npos) << mapped.out;
    EXPECT_NE(mapped.out.find(R"("menu":"COM1","through":"ORBEL_COM1"})"), std::string::npos)
        << mapped.out;
}
