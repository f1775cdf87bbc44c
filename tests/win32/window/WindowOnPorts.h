// The real main window on Windows (the shared WindowHarness), with the real
// serial component on COM ports that scripts/test-windows maps to simulated
// instruments running on the host. The ports are named by the environment:
//   ORBEL_TEST_SIM_PORT             an instrument that answers (COM1)
//   ORBEL_TEST_WINDOW_HANGUP_PORT   one that hangs up after two replies
#pragma once

#include "../TestPorts.h"
#include "WindowHarness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <string_view>

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

    void TearDown() override { LeaveWindowTest(); }

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

    // Runs the event loop until `condition` holds or `ms` have passed; a tick
    // wakes the loop so that the condition is looked at while nothing happens.
    static bool WaitFor(const std::function<bool()>& condition, int ms = 3000) {
        QElapsedTimer clock;
        clock.start();
        QTimer tick;
        tick.start(10);
        while (!condition()) {
            if (clock.elapsed() >= ms) {
                return condition();
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
};
