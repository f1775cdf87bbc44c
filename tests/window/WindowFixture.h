// The real main window, offscreen, with the real serial component talking to
// simulated instruments on pseudo-terminals named COM1 to COM4 through the
// device-name resolver (the rest is the shared WindowHarness).
#pragma once

#include "common/SimFixture.h"
#include "common/WindowHarness.h"
#include "serial/platform/posix/DeviceNames.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>

using namespace orbel;

class WindowFixture : public WindowHarness {
protected:
    using SimThread = orbel::test::SimThread;

    std::map<int, std::unique_ptr<SimThread>> sims;

    void SetUp() override {
        EnterWindowTest();
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
        LeaveWindowTest();
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

    // Lets queued events run (timers, repaints) for `ms` milliseconds.
    static void Pump(int ms) { QTest::qWait(ms); }

    static bool WaitFor(const std::function<bool()>& condition, int ms = 3000) {
        return QTest::qWaitFor(condition, ms);
    }

private:
    std::mutex namesMutex_;
    std::map<std::string, std::string> names_;
};

// Bytes of a frame as upper-case hex separated by blanks, for messages.
std::string Hex(const std::vector<std::uint8_t>& bytes);
