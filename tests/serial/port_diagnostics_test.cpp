// What a technician reads on standard error when a port will not open.
#include "common/PtyPair.h"
#include "serial/core/ComPort.h"
#include "serial/errors/EComPort.h"
#include "serial/platform/fake/FakeComPlatform.h"
#include "serial/platform/posix/DeviceNames.h"
#include "serial/platform/posix/PortDiagnostics.h"

#include <gtest/gtest.h>

#include <map>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orbel;

namespace {

class DiagnosticsTest : public ::testing::Test {
protected:
    std::vector<std::string> lines;
    void SetUp() override {
        SetPortDiagnosticSink([this](const std::string& line) { lines.push_back(line); });
    }
    void TearDown() override {
        SetPortDiagnosticSink({});
        SetEnvironmentLookup({});
    }
};

} // namespace

TEST_F(DiagnosticsTest, MissingDeviceNamesItsPathAndTheVariableToSet) {
    int lookups = 0;
    SetEnvironmentLookup([&lookups](const std::string& name) -> std::optional<std::string> {
        if (name == "ORBEL_COM7") {
            ++lookups;
            return "/nonexistent/ttyUSB9";
        }
        return std::nullopt;
    });
    TComPort port;
    port.SetPort("COM7");
    EXPECT_THROW(port.SetConnected(true), EComPort);
    EXPECT_EQ(lookups, 1); // the name is resolved once per open
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0], "serial: COM7 is /nonexistent/ttyUSB9\n");
    EXPECT_NE(lines[1].find("cannot open COM7 (/nonexistent/ttyUSB9): "), std::string::npos);
    EXPECT_NE(lines[1].find(std::strerror(ENOENT)), std::string::npos);
    // Set already: what it should hold, not to set it.
    EXPECT_NE(lines[1].find("ORBEL_COM7 leads to /nonexistent/ttyUSB9, which is not there"),
              std::string::npos);
    EXPECT_EQ(lines[1].back(), '\n');
    EXPECT_EQ(std::count(lines[1].begin(), lines[1].end(), '\n'), 1);
}

TEST_F(DiagnosticsTest, PermissionErrorHintsAtTheDialoutGroup) {
    PtyPair pty;
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0), 0);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // An ordinary user: root opens anything.
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(3);
        }
        SetPortDiagnosticSink([&](const std::string& line) {
            [[maybe_unused]] ssize_t n = ::write(fds[1], line.data(), line.size());
        });
        TComPort port;
        port.SetPort(pty.SlavePath());
        try {
            port.SetConnected(true);
        } catch (const EComPort& e) {
            ::_exit(e.SystemCode() == EACCES ? 0 : 4);
        }
        ::_exit(5);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(out.find("serial: " + pty.SlavePath() + " is " + pty.SlavePath() + "\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(std::strerror(EACCES)), std::string::npos) << out;
    EXPECT_NE(out.find("dialout group"), std::string::npos) << out;
}

TEST_F(DiagnosticsTest, APortOnTheFakePlatformPrintsNothing) {
    TFakeComPlatform fake;
    TComPort port(nullptr, &fake);
    port.SetPort("COM7");
    port.SetConnected(true);
    port.SetConnected(false);
    fake.FailNext("Open", ENOENT);
    EXPECT_THROW(port.SetConnected(true), EComPort);
    EXPECT_TRUE(lines.empty());
}

TEST_F(DiagnosticsTest, WhatIsNoSerialDeviceIsSaidSoAndNothingRelativeIsOpened) {
    char file[] = "/tmp/orbel-not-a-port-XXXXXX";
    const int fd = ::mkstemp(file);
    ASSERT_GE(fd, 0);
    ::close(fd);
    SetEnvironmentLookup([](const std::string& name) -> std::optional<std::string> {
        const std::map<std::string, std::string> variables = {{"ORBEL_COM5", "dev/ttyUSB0"},
                                                              {"ORBEL_COM6", "COM2"},
                                                              {"ORBEL_COM8", "/dev/orbel-none"}};
        const auto found = variables.find(name);
        return found != variables.end() ? std::optional(found->second) : std::nullopt;
    });
    struct Case {
        std::string port;
        int code;
        const char* hint;
    };
    for (const Case& c :
         {Case{"/dev/null", ENOTTY, "not a serial device"},
          Case{file, ENOTTY, "not a serial device"},
          Case{"COM5", ENOENT, "ORBEL_COM5=dev/ttyUSB0 is a relative path"},
          // Set, so no advice to set it: what it should hold instead.
          Case{"COM6", ENOENT,
               "ORBEL_COM6=COM2 names a Windows port; here "
               "ORBEL_COM6 wants the device's path"},
          Case{"COM8", ENOENT, "ORBEL_COM8 leads to /dev/orbel-none, which is not"}}) {
        lines.clear();
        TComPort port;
        port.SetPort(c.port);
        try {
            port.SetConnected(true);
            ADD_FAILURE() << c.port << " opened";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.SystemCode(), c.code) << c.port;
        }
        ASSERT_FALSE(lines.empty()) << c.port;
        EXPECT_NE(lines.back().find(c.hint), std::string::npos) << lines.back();
    }
    ::unlink(file);
}

TEST_F(DiagnosticsTest, ALostDeviceGivesOneLine) {
    PtyPair pty;
    TComPort port;
    port.SetPort(pty.SlavePath());
    port.Timeouts().SetReadTotalConstant(500);
    port.SetConnected(true);
    lines.clear();
    pty.CloseMaster();
    std::uint8_t buffer[4];
    for (int i = 0; i < 3; ++i) {
        EXPECT_THROW(port.ReadBytes(buffer, 4), EComPort);
    }
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0].rfind("serial: " + pty.SlavePath() + " lost: " + std::strerror(EIO), 0), 0U)
        << lines[0];
}

TEST(PortDiagnosticLines, HintsFitTheCause) {
    EXPECT_NE(OpenFailureLine("COM2", "/dev/ttyS1", EBUSY).find("another program"),
              std::string::npos);
    EXPECT_EQ(OpenFailureLine("/dev/x", "/dev/x", ENOENT).find("ORBEL_"), std::string::npos);
    EXPECT_NE(OpenFailureLine("COM4", "/dev/ttyS3", ENOENT).find("ORBEL_COM4"), std::string::npos);
    EXPECT_EQ(LostLine("COM1", "/dev/ttyUSB0", EIO),
              std::string("serial: COM1 (/dev/ttyUSB0) lost: ") + std::strerror(EIO) +
                  " (unplugged, or the other end hung up)");
}
