// What the window suites share on every system: the real main window, shown,
// message boxes answered by the test, the decimal comma, and a current folder
// of the test's own for "user.ini". Each system's fixture adds the instruments
// and the way it waits for events, and calls EnterWindowTest() in its SetUp
// and LeaveWindowTest() in its TearDown.
#pragma once

#include "base/WideText.h"
#include "common/RecordingBoxes.h"
#include "ui/ExceptionReport.h"
#include "ui/RegionalSettings.h"
#include "ui/Unit1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>

using namespace orbel;

class WindowHarness : public ::testing::Test {
protected:
    RecordingBoxes boxes;
    std::filesystem::path dir;
    std::filesystem::path oldDir;
    std::unique_ptr<TForm1> form;

    // Runs the event loop until `condition` holds or `ms` have passed; a tick
    // wakes the loop so that the condition is looked at while nothing happens.
    static bool RunEventsUntil(const std::function<bool()>& condition, int ms) {
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

    void EnterWindowTest() {
        InstallStandardExceptionReport();
        TRegionalSettings regional;
        regional.DecimalSeparator = u',';
        SetRegionalSettingsForTests(regional);
        dir = MakeFolder();
        oldDir = std::filesystem::current_path();
        std::filesystem::current_path(dir);
    }

    // Closes the window first: it closes its port.
    void LeaveWindowTest() {
        form.reset();
        ResetRegionalSettingsForTests();
        if (!oldDir.empty()) {
            std::filesystem::current_path(oldDir);
            std::filesystem::remove_all(dir);
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

    QString Panel0() const { return form->StatusPanel0->text(); }
    QString Panel1() const { return form->StatusPanel1->text(); }
    QStringList MemoLines() const {
        const QString text = form->Memo1->toPlainText();
        return text.isEmpty() ? QStringList{} : text.split(u'\n');
    }

private:
    // A new folder of the owner's only, under the system's folder for
    // temporary files, with a Cyrillic name as the installer's working folder
    // has (Documents\ОРБЕЛ).
    static std::filesystem::path MakeFolder() {
        std::random_device seed;
        std::mt19937 random(seed());
        for (;;) {
            const auto folder = std::filesystem::temp_directory_path() /
                                PathFromUtf8("ОРБЕЛ-" + std::to_string(random()));
            if (std::filesystem::create_directory(folder)) {
                std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
                return folder;
            }
        }
    }
};
