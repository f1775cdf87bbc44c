// The real main window, offscreen, with the real serial component talking to
// simulated instruments on pseudo-terminals named COM1 to COM4 through the
// device-name resolver, message boxes answered by the test, and its own
// current directory for "user.ini".
#pragma once

#include "RecordingBoxes.h"
#include "common/SimFixture.h"
#include "serial/platform/posix/DeviceNames.h"
#include "ui/ExceptionReport.h"
#include "ui/RegionalSettings.h"
#include "ui/Unit1.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>

class WindowFixture : public ::testing::Test {
protected:
    using SimThread = orbel::test::SimThread;

    RecordingBoxes boxes;
    std::filesystem::path dir;
    std::filesystem::path oldDir;
    std::map<int, std::unique_ptr<SimThread>> sims;
    std::unique_ptr<TForm1> form;

    void SetUp() override {
        InstallStandardExceptionReport();
        TRegionalSettings regional;
        regional.DecimalSeparator = u',';
        SetRegionalSettingsForTests(regional);
        char name[] = "/tmp/orbel-window-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir = name;
        oldDir = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        SetEnvironmentLookup([this](const std::string& variable) -> std::optional<std::string> {
            std::lock_guard lock(namesMutex_);
            const auto it = names_.find(variable);
            if (it == names_.end()) {
                return std::string("/nonexistent/orbel-test-") + variable;
            }
            return it->second;
        });
    }

    void TearDown() override {
        form.reset();
        sims.clear();
        SetEnvironmentLookup({});
        ResetRegionalSettingsForTests();
        std::filesystem::current_path(oldDir);
        std::filesystem::remove_all(dir);
    }

    // A simulated instrument reachable as COMn.
    SimThread& Instrument(int n, SimThread::Options options = {}) {
        options.drift = false;
        sims[n] = std::make_unique<SimThread>(options);
        PointPortAt(n, sims[n]->DevicePath());
        return *sims[n];
    }

    void PointPortAt(int n, const std::string& path) {
        std::lock_guard lock(namesMutex_);
        names_["ORBEL_COM" + std::to_string(n)] = path;
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

    // Lets queued events run (timers, repaints) for `ms` milliseconds.
    static void Pump(int ms) { QTest::qWait(ms); }

    static bool WaitFor(const std::function<bool()>& condition, int ms = 3000) {
        return QTest::qWaitFor(condition, ms);
    }

    QString Panel1() const;
    QString Panel0() const;
    QStringList MemoLines() const;

private:
    std::mutex namesMutex_;
    std::map<std::string, std::string> names_;
};

// Bytes of a frame as upper-case hex separated by blanks, for messages.
std::string Hex(const std::vector<std::uint8_t>& bytes);
