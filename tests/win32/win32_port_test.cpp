// The Win32 platform on a real COM port with a simulated instrument behind
// it: opening and closing, settings, time-out-bound transfers, purging and
// status, and the faults of a port that is missing or held.
#include "SimPortTest.h"

#include <algorithm>
#include <set>
#include <string>

namespace {

constexpr double BudgetMarginMs = 250; // a loaded machine under Wine

// The fields in which two records differ, by name.
std::set<std::string> DifferingFields(const TComDeviceControl& a, const TComDeviceControl& b) {
    std::set<std::string> names;
    const auto check = [&](bool differs, const char* name) {
        if (differs) {
            names.insert(name);
        }
    };
    const auto flags = a.Flags ^ b.Flags;
    check(a.BaudRate != b.BaudRate, "BaudRate");
    check((flags & DcbFlag::DtrControlMask) != 0, "fDtrControl");
    check((flags & DcbFlag::RtsControlMask) != 0, "fRtsControl");
    check((flags & ~(DcbFlag::DtrControlMask | DcbFlag::RtsControlMask)) != 0, "other flags");
    check(a.XonLim != b.XonLim, "XonLim");
    check(a.XoffLim != b.XoffLim, "XoffLim");
    check(a.ByteSize != b.ByteSize, "ByteSize");
    check(a.Parity != b.Parity, "Parity");
    check(a.StopBits != b.StopBits, "StopBits");
    check(a.XonChar != b.XonChar || a.XoffChar != b.XoffChar, "XonChar/XoffChar");
    check(a.ErrorChar != b.ErrorChar, "ErrorChar");
    check(a.EofChar != b.EofChar || a.EvtChar != b.EvtChar, "EofChar/EvtChar");
    return names;
}

// What Wine's GetCommState does not give back on a pseudo-terminal: it reports
// DTR and RTS as enabled, limits of its own and no error character, and the
// terminal itself drops the parity.
const std::set<std::string> NotKeptByWine = {"fDtrControl", "fRtsControl", "XonLim",
                                             "XoffLim",     "Parity",      "ErrorChar"};

} // namespace

TEST_F(SimPortTest, OpensConfiguresAndClosesWithoutReusingHandles) {
    OpenConfigured();
    EXPECT_EQ(platform_.OpenDevices(), 1u);
    EXPECT_TRUE(platform_.FineTimerHeld());
    const ComHandle first = handle_;
    ASSERT_EQ(platform_.Close(handle_), ComResult::Success());
    EXPECT_FALSE(platform_.FineTimerHeld());

    // The stale handle fails as the system fails an invalid handle.
    const ComResult invalid{ComFault::Other, ERROR_INVALID_HANDLE};
    EXPECT_EQ(platform_.Close(first), invalid);
    EXPECT_EQ(platform_.SetTimeouts(first, ExchangeTimeouts), invalid);
    std::uint32_t errors = 0;
    TComStat status;
    EXPECT_EQ(platform_.ClearErrors(first, errors, status), invalid);
    handle_ = InvalidComHandle;
    OpenConfigured();
    EXPECT_NE(handle_, first);
}

TEST_F(SimPortTest, TheDeviceControlRecordReadsBackAsSet) {
    OpenConfigured();
    TComDeviceControl held;
    ASSERT_EQ(platform_.GetDeviceControl(handle_, held), ComResult::Success());
    const std::set<std::string> differing = DifferingFields(held, InstrumentLine());
    if (!differing.empty() && RunningUnderWine() &&
        std::includes(NotKeptByWine.begin(), NotKeptByWine.end(), differing.begin(),
                      differing.end())) {
        std::string names;
        for (const std::string& name : differing) {
            names += " " + name;
        }
        GTEST_SKIP() << "Wine: GetCommState on a pseudo-terminal does not give back" << names;
    }
    EXPECT_EQ(held, InstrumentLine());
}

TEST_F(SimPortTest, AWriteReachesTheInstrumentAndItsReplyIsRead) {
    OpenConfigured();
    SendSignatureRequest();
    std::array<std::uint8_t, 10> reply{};
    std::uint32_t moved = 0;
    ASSERT_EQ(Read(reply.data(), reply.size(), moved), ComResult::Success());
    EXPECT_EQ(moved, reply.size());
    EXPECT_EQ(reply, SignatureReply);
}

TEST_F(SimPortTest, ReadsEndAtTheirBudgetWithWhatArrived) {
    OpenConfigured();
    // 13 bytes asked, the 10 of the reply arrive: the read runs its 91 ms.
    SendSignatureRequest();
    std::array<std::uint8_t, 13> buffer;
    buffer.fill(0xEE);
    std::uint32_t moved = 0;
    auto start = Clock::now();
    ASSERT_EQ(Read(buffer.data(), buffer.size(), moved), ComResult::Success());
    double elapsed = MsSince(start);
    EXPECT_EQ(moved, 10u);
    EXPECT_TRUE(std::equal(SignatureReply.begin(), SignatureReply.end(), buffer.begin()));
    EXPECT_EQ(buffer[10], 0xEE);
    EXPECT_EQ(buffer[12], 0xEE);
    EXPECT_GE(elapsed, 91.0 - 1.0); // the system's clock may round down by a tick
    EXPECT_LE(elapsed, 91.0 + BudgetMarginMs);

    // Nothing arrives: 0 bytes after 70 ms, no failure.
    start = Clock::now();
    ASSERT_EQ(Read(buffer.data(), 10, moved), ComResult::Success());
    elapsed = MsSince(start);
    EXPECT_EQ(moved, 0u);
    EXPECT_GE(elapsed, 70.0 - 1.0);
    EXPECT_LE(elapsed, 70.0 + BudgetMarginMs);
}

TEST_F(SimPortTest, PurgeDiscardsWhatWaitsAndStatusCountsIt) {
    OpenConfigured();
    SendSignatureRequest();
    EXPECT_EQ(AwaitInQueue(SignatureReply.size()), SignatureReply.size());
    ASSERT_EQ(platform_.Purge(handle_, PurgeFlag::RxClear | PurgeFlag::TxClear),
              ComResult::Success());
    EXPECT_EQ(AwaitInQueue(0), 0u);
    std::array<std::uint8_t, 10> buffer{};
    std::uint32_t moved = 0;
    ASSERT_EQ(Read(buffer.data(), 1, moved), ComResult::Success());
    EXPECT_EQ(moved, 0u);

    std::uint32_t errors = 0xFFFF;
    TComStat status;
    ASSERT_EQ(platform_.ClearErrors(handle_, errors, status), ComResult::Success());
    EXPECT_EQ(errors, 0u);
    std::uint32_t lines = 0xFFFF;
    ASSERT_EQ(platform_.GetModemStatus(handle_, lines), ComResult::Success());
    EXPECT_EQ(lines & ~0xF0u, 0u);
}

TEST_F(SimPortTest, AVariableNamesThePortAComNumberStandsFor) {
    const std::wstring name(port_.begin() + 4, port_.end());
    ASSERT_TRUE(SetEnvironmentVariableW(L"ORBEL_COM77", name.c_str()));
    RestoreFreshLine(port_);
    const ComResult opened = platform_.Open("\\\\.\\COM77", handle_);
    SetEnvironmentVariableW(L"ORBEL_COM77", nullptr);
    ASSERT_EQ(opened, ComResult::Success());
    EXPECT_EQ(platform_.SetDeviceControl(handle_, InstrumentLine()), ComResult::Success());
}

TEST_F(SimPortTest, AMissingPortIsNoDeviceWithTheSystemsText) {
    ComHandle handle = 12345;
    const ComResult result = platform_.Open("\\\\.\\COM199", handle);
    EXPECT_EQ(result.Fault, ComFault::NoDevice);
    EXPECT_EQ(handle, InvalidComHandle);
    const std::string text = platform_.SystemErrorText(result.SystemCode);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(platform_.Open("", handle).Fault, ComFault::NoDevice);
}

TEST_F(SimPortTest, APortHeldByAnotherHandleIsBusy) {
    OpenConfigured();
    const std::wstring path(port_.begin(), port_.end());
    const HANDLE other = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (other != INVALID_HANDLE_VALUE) {
        CloseHandle(other);
        ASSERT_TRUE(RunningUnderWine()) << "a COM port opened without sharing opened again";
        GTEST_SKIP() << "Wine: a COM port opened without sharing can be opened again, so no "
                        "open finds it held";
    }
    ComHandle second = InvalidComHandle;
    const ComResult result = platform_.Open(port_, second);
    EXPECT_EQ(result.Fault, ComFault::Busy) << result.SystemCode;
    EXPECT_EQ(second, InvalidComHandle);
}

TEST_F(SimPortTest, AThousandOpensAndClosesLeaveNoHandleBehind) {
    OpenConfigured(); // the first open of a process sets up what stays
    ASSERT_EQ(platform_.Close(handle_), ComResult::Success());
    handle_ = InvalidComHandle;
    const std::size_t before = ProcessHandleCount();
    ASSERT_NE(before, 0u) << "the handle count cannot be read";
    for (int i = 0; i < 1000; ++i) {
        ComHandle handle = InvalidComHandle;
        ASSERT_EQ(platform_.Open(port_, handle), ComResult::Success()) << i;
        ASSERT_EQ(platform_.Close(handle), ComResult::Success()) << i;
    }
    EXPECT_EQ(ProcessHandleCount(), before);
    EXPECT_EQ(platform_.OpenDevices(), 0u);
    EXPECT_FALSE(platform_.FineTimerHeld());
}

TEST_F(SimPortTest, ALineThatHangsUpIsALostDevice) {
    const auto port = MappedPort("ORBEL_TEST_HANGUP_PORT");
    if (!port) {
        GTEST_SKIP() << "no instrument that hangs up mapped (ORBEL_TEST_HANGUP_PORT)";
    }
    port_ = *port;
    OpenConfigured();
    SendSignatureRequest(); // its reply is the last before the line goes
    std::array<std::uint8_t, 13> buffer{};
    std::uint32_t moved = 0;
    ComResult result;
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    do {
        result = Read(buffer.data(), buffer.size(), moved);
    } while (result.Ok() && Clock::now() < deadline);
    EXPECT_EQ(result.Fault, ComFault::DeviceLost) << result.SystemCode;
    EXPECT_FALSE(platform_.SystemErrorText(result.SystemCode).empty());
    std::uint32_t errors = 0;
    TComStat status;
    EXPECT_EQ(platform_.ClearErrors(handle_, errors, status).Fault, ComFault::DeviceLost);
    EXPECT_EQ(platform_.Close(handle_), ComResult::Success());
    handle_ = InvalidComHandle;
}
