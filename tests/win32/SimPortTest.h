// A real COM port mapped to a simulated instrument (ORBEL_TEST_SIM_PORT), driven
// through the Win32 platform alone.
#pragma once

#include "TestPorts.h"
#include "serial/platform/win32/Win32ComPlatform.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>

using namespace orbel;

// The instrument's line: 9600 baud, 8 data bits, mark parity, one stop bit.
inline TComDeviceControl InstrumentLine() {
    TComDeviceControl control;
    control.BaudRate = 9600;
    control.Flags = DcbFlag::Binary;
    control.XonLim = control.XoffLim = 256;
    control.ByteSize = 8;
    control.Parity = 3;
    control.XonChar = 17;
    control.XoffChar = 19;
    return control;
}

// 7 ms a byte for reads, as the exchange uses them; no limit at all.
inline constexpr TComTimeoutRecord ExchangeTimeouts{0xFFFFFFFFu, 7, 0, 200, 1000};
inline constexpr TComTimeoutRecord NoTimeouts{0, 0, 0, 0, 0};

// The signature request, and the simulator's reply with its default identity.
inline constexpr std::array<std::uint8_t, 5> SignatureRequest{0xFF, 0x20, 0x01, 0x99, 0xF0};
inline constexpr std::array<std::uint8_t, 10> SignatureReply{0x01, 0x20, 0x06, 0x01, 0x00,
                                                             0x2A, 0x01, 0x03, 0xFD, 0xFA};

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class SimPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto port = MappedPort("ORBEL_TEST_SIM_PORT");
        if (!port) {
            GTEST_SKIP() << "no simulated instrument mapped (ORBEL_TEST_SIM_PORT)";
        }
        port_ = *port;
    }
    void TearDown() override {
        if (handle_ != InvalidComHandle) {
            platform_.Close(handle_);
        }
    }

    // Opens the port on a fresh line and applies the instrument's settings.
    void OpenConfigured(const TComTimeoutRecord& timeouts = ExchangeTimeouts) {
        RestoreFreshLine(port_);
        ASSERT_EQ(platform_.Open(port_, handle_), ComResult::Success());
        ASSERT_EQ(platform_.SetQueueSizes(handle_, 1024, 1024), ComResult::Success());
        ASSERT_EQ(platform_.SetDeviceControl(handle_, InstrumentLine()), ComResult::Success());
        ASSERT_EQ(platform_.SetTimeouts(handle_, timeouts), ComResult::Success());
        // What an earlier test left unread stays out of this one.
        ASSERT_EQ(platform_.Purge(handle_, PurgeFlag::RxClear | PurgeFlag::TxClear),
                  ComResult::Success());
    }

    // A whole transfer: start, await, release.
    ComResult Transfer(bool write, void* buffer, std::uint32_t count, std::uint32_t& moved) {
        TComRequest request;
        std::uint32_t done = 0;
        ComResult result = write ? platform_.StartWrite(handle_, buffer, count, request, done)
                                 : platform_.StartRead(handle_, buffer, count, request, done);
        if (result.Ok() || result.IsPending()) {
            result = platform_.AwaitRequest(handle_, request, moved);
        }
        platform_.ReleaseRequest(request);
        return result;
    }
    ComResult Read(void* buffer, std::uint32_t count, std::uint32_t& moved) {
        return Transfer(false, buffer, count, moved);
    }
    void SendSignatureRequest() {
        auto request = SignatureRequest;
        std::uint32_t moved = 0;
        ASSERT_EQ(Transfer(true, request.data(), request.size(), moved), ComResult::Success());
        ASSERT_EQ(moved, request.size());
    }
    // Bytes waiting in the input queue, polled until `count` are there or a
    // second has passed.
    std::uint32_t AwaitInQueue(std::uint32_t count) {
        const auto deadline = Clock::now() + std::chrono::seconds(1);
        TComStat status;
        for (;;) {
            std::uint32_t errors = 0;
            EXPECT_EQ(platform_.ClearErrors(handle_, errors, status), ComResult::Success());
            if (status.InQueue >= count || Clock::now() >= deadline) {
                return status.InQueue;
            }
            Sleep(1);
        }
    }

    TWin32ComPlatform platform_;
    std::string port_;
    ComHandle handle_ = InvalidComHandle;
};
