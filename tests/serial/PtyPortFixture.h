// ComPort1's settings on the slave side of a real pseudo-terminal pair; the
// test plays the instrument on the master side.
#pragma once

#include "FakePortFixture.h"
#include "common/PtyPair.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/types.h>

class PtyPort : public ::testing::Test {
protected:
    void SetUp() override {
        DesignComPort1(port);
        port.SetPort(pty.SlavePath());
    }

    PtyPair pty;
    TComPort port;
};

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// True once the thread sleeps in the kernel (blocked in a wait).
inline bool ThreadSleeping(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
}
