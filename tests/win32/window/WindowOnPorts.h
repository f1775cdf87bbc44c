// The real main window on Windows, with the real serial component on COM
// ports that scripts/test-windows maps to simulated instruments running on
// the host: message boxes answered by the test, and a current folder of its
// own for "user.ini". The ports are named by the environment:
//   ORBEL_TEST_SIM_PORT             an instrument that answers (COM1)
//   ORBEL_TEST_WINDOW_HANGUP_PORT   one that hangs up after two replies
#pragma once

#include "../TestPorts.h"
#include "RecordingBoxes.h"
#include "ui/ExceptionReport.h"
#include "ui/RegionalSettings.h"
#include "ui/Unit1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class WindowOnPorts : public ::testing::Test {
protected:
    RecordingBoxes boxes;
    std::filesystem::path dir;
    std::filesystem::path oldDir;
    std::unique_ptr<TForm1> form;
    int instrument = 0; // the menu number of the port that answers

    void SetUp() override {
        instrument = PortNumber("ORBEL_TEST_SIM_PORT");
        if (instrument == 0) {
            GTEST_SKIP() << "no simulated instrument mapped (ORBEL_TEST_SIM_PORT)";
        }
        FreshLine("ORBEL_TEST_SIM_PORT");
        FreshLine("ORBEL_TEST_WINDOW_HANGUP_PORT");
        InstallStandardExceptionReport();
        TRegionalSettings regional;
        regional.DecimalSeparator = u',';
        SetRegionalSettingsForTests(regional);
        static std::atomic<int> made{0};
        dir = std::filesystem::temp_directory_path() /
              ("orbel-window-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++made));
        std::filesystem::create_directories(dir);
        oldDir = std::filesystem::current_path();
        std::filesystem::current_path(dir);
    }

    void TearDown() override {
        form.reset();
        ResetRegionalSettingsForTests();
        if (!oldDir.empty()) {
            std::filesystem::current_path(oldDir);
            std::filesystem::remove_all(dir);
        }
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

    void WriteUserIni(const std::string& content) {
        std::ofstream(dir / "user.ini", std::ios::binary) << content;
    }

    std::string ReadUserIni() const {
        std::ifstream in(dir / "user.ini", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // Creates the window; `loaded` runs the settings load at once instead of
    // waiting for the start-up timer.
    TForm1& Open(bool loaded = true) {
        form = std::make_unique<TForm1>();
        form->show();
        if (loaded) {
            form->TimerToREAD_OnTime();
        }
        return *form;
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

    // Lets queued events run (timers, repaints) for `ms` milliseconds.
    static void Pump(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    QString Panel0() const { return form->StatusPanel0->text(); }
    QString Panel1() const { return form->StatusPanel1->text(); }
    QStringList MemoLines() const {
        const QString text = form->Memo1->toPlainText();
        return text.isEmpty() ? QStringList{} : text.split(u'\n');
    }
};
