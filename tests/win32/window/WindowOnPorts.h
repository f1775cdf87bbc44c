// The real main window on Windows (the shared WindowHarness), with the real
// serial component on COM ports that scripts/test-windows maps to simulated
// instruments running on the host. The ports are named by the environment:
//   ORBEL_TEST_SIM_PORT             an instrument that answers (COM1)
//   ORBEL_TEST_WINDOW_HANGUP_PORT   one that hangs up after two replies, on a
//                                   port the menu reaches through ORBEL_COMn
#pragma once

#include "TestPorts.h"
#include "common/WindowHarness.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class WindowOnPorts : public WindowHarness {
protected:
    int instrument = 0; // the menu number of the port that answers

    void SetUp() override {
        instrument = PortNumber("ORBEL_TEST_SIM_PORT");
        if (instrument == 0) {
            GTEST_SKIP() << "no simulated instrument mapped (ORBEL_TEST_SIM_PORT)";
        }
        FreshLine("ORBEL_TEST_SIM_PORT");
        FreshLine("ORBEL_TEST_WINDOW_HANGUP_PORT");
        EnterWindowTest();
    }

    void TearDown() override {
        LeaveWindowTest();
        for (const std::wstring& variable : pointed_) {
            SetEnvironmentVariableW(variable.c_str(), nullptr);
        }
    }

    // Points the menu's "COM n" at another port ("COM99") until the test ends.
    void PointMenuPortAt(int n, const std::string& port) {
        const std::wstring variable = L"ORBEL_COM" + std::to_wstring(n);
        pointed_.push_back(variable);
        ASSERT_TRUE(SetEnvironmentVariableW(variable.c_str(),
                                            std::wstring(port.begin(), port.end()).c_str()));
    }

    // "COM3" in the variable is 3; 0 when it is unset or names no COM port.
    static int PortNumber(const char* variable) {
        const char* value = std::getenv(variable);
        if (value == nullptr || std::string_view(value).substr(0, 3) != "COM") {
            return 0;
        }
        return std::atoi(value + 3);
    }

    // A pseudo-terminal behind a COM port keeps parity bits from the last
    // mark-parity setting that fail the next one: before each open of the
    // same port, the host makes its line fresh (see TestPorts.h).
    static void FreshLine(const char* variable) {
        if (const auto port = MappedPort(variable)) {
            RestoreFreshLine(*port);
        }
    }

    static bool WaitFor(const std::function<bool()>& condition, int ms = 3000) {
        return RunEventsUntil(condition, ms);
    }

private:
    std::vector<std::wstring> pointed_;
};
