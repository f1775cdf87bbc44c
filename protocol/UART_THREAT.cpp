#include "protocol/UART_THREAT.h"

#include "protocol/EMUL_Functions.h"
#include "protocol/InstrumentPort.h"
#include "protocol/ReplyScan.h"
#include "serial/errors/EComPort.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using namespace orbel;

using namespace EMUL_Functions;

namespace {

void Publish(TExchangeArea& a, std::int32_t status, TExchangeOutcome outcome) {
    a.ExchangeOutcome = outcome;
    a.ExchangeStatus.store(status, std::memory_order_release);
    AtomicNotifyAll(a.ExchangeStatus);
}

// Bytes waiting before a request can only be a reply that came after its
// read had ended; left there, they would pass for the answer to this request.
// A driver that cannot count them (some virtual ports fail every count) has
// its input purged unseen; only a lost device ends the exchange here.
void DiscardLateBytes(TExchangeArea& a, IExchangePort& port) {
    try {
        a.LateByteCount = port.BytesWaiting();
    } catch (const EComPort& e) {
        if (e.Fault() == ComFault::DeviceLost) {
            throw;
        }
        a.LateByteCount = LateBytesUncounted;
        port.PurgeBuffers(true, false);
        return;
    }
    if (a.LateByteCount > 0) {
        port.PurgeBuffers(true, false);
    }
}

// The reply read: ended as soon as the reply is settled, or waited out.
std::int32_t ReadReply(const TExchangeArea& a, IExchangePort& port, TFrame& area,
                       std::int32_t count, bool endEarly) {
    if (!endEarly) {
        return port.ReadBytes(area.data(), count);
    }
    const std::uint32_t expected = a.ExpectedCommand;
    const std::int32_t replyLength = a.ReplyDataLength;
    const std::uint8_t address = a.TxFrame[0];
    return port.ReadBytesUntil(area.data(), count, [&](const std::uint8_t*, std::int32_t received) {
        return ReplyBytesNeeded(area, received, expected, replyLength, address);
    });
}

} // namespace

UART_THREAT::UART_THREAT(IExchangeHost& host, TExchangeArea& area) : host_(host), area_(area) {
    thread_ = std::thread([this] { Execute(); });
}

UART_THREAT::~UART_THREAT() {
    stop_.store(true, std::memory_order_release);
    WaitParked();
    parked_.store(false, std::memory_order_release);
    wakeups_.Release();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void UART_THREAT::WaitParked() const {
    while (!parked_.load(std::memory_order_acquire)) {
        AtomicWait(parked_, false, std::memory_order_acquire);
    }
}

void UART_THREAT::Wake() {
    parked_.store(false, std::memory_order_release);
    wakeups_.Release();
}

void UART_THREAT::RaisePriority() {
    // Two steps above normal where the system allows it without privileges;
    // a refusal leaves the normal priority and is no error.
#ifdef _WIN32
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
#else
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, tid);
    if (errno != 0) {
        return;
    }
    for (int step = 2; step >= 1; --step) {
        if (::setpriority(PRIO_PROCESS, tid, current - step) == 0) {
            return;
        }
    }
#endif
}

void UART_THREAT::Execute() {
    RaisePriority();
    for (;;) {
        wakeups_.Acquire();
        if (StopRequested()) {
            return;
        }
        area_.ExchangeStatus.store(esInProgress, std::memory_order_relaxed);
        IExchangePort& port = host_.ExchangePort();
        const std::uint8_t mode = host_.TimeoutModeFlag();
        UART_EXCHANGE(*this, port, mode);
        parked_.store(true, std::memory_order_release);
        AtomicNotifyAll(parked_);
    }
}

std::int32_t WaitForExchangeStatus(TExchangeArea& area) {
    for (;;) {
        const std::int32_t status = area.ExchangeStatus.load(std::memory_order_acquire);
        if (status != esInProgress) {
            return status;
        }
        AtomicWait(area.ExchangeStatus, std::int32_t{esInProgress}, std::memory_order_acquire);
    }
}

namespace {

// Before a request: the mode's one-byte read or 2 ms wait, the discard of
// what is waiting, then a quiet line (what is heard meanwhile is discarded
// and counted, unless the count was unavailable, which the trace says).
void PrepareLine(TExchangeArea& a, IExchangePort& port, std::uint8_t mode, TLineState& line,
                 const TExchangeOptions& options, std::uint64_t budgetUs) {
    if (mode == tmSystemBus) {
        a.PreReadCount = port.ReadBytes(&a.PreReadByte, 1);
    } else {
        Delay(2);
    }
    DiscardLateBytes(a, port);
    if (a.PreReadCount > 0 || a.LateByteCount > 0) {
        line.heard = true; // the line has just carried them
        line.lastLineUs = port.ClockUs();
    }
    const std::int32_t quiet = AwaitQuietLine(port, line, options, budgetUs);
    if (a.LateByteCount != LateBytesUncounted) {
        a.LateByteCount += quiet;
    }
}

// After the reply's read: the last byte came no later than the read's end,
// and the request counts as unanswered until its reply is accepted.
void NoteReplyRead(IExchangePort& port, TLineState& line, std::uint64_t budgetUs) {
    line.heard = true;
    line.lastLineUs = line.readEndUs = port.ClockUs();
    line.budgetUs = budgetUs;
    line.unanswered = true;
}

} // namespace

void UART_EXCHANGE(UART_THREAT& thread, IExchangePort& port, std::uint8_t mode) {
    TExchangeArea& a = thread.Area();
    a.RxFrame.fill(0);
    a.ExchangeStatus.store(esInProgress, std::memory_order_relaxed);
    a.ExpectedCommand = a.TxFrame[1];
    a.RxText.clear();
    a.RxRawCount = 0;
    a.PreReadCount = 0;
    a.LateByteCount = 0;
    a.OutcomePortCode = 0;
    a.OutcomeSystemCode = -1;

    // A closed port: nothing is sent; the window thread shows its box.
    if (!port.Connected()) {
        Publish(a, esNoReply, TExchangeOutcome::PortNotOpen);
        return;
    }

    TFrame area{};
    TReplyScanResult scan;
    TLineState& line = thread.Line();
    const std::int32_t readCount = ReplyReadCount(a.ReplyDataLength);
    const std::uint64_t budgetUs =
        std::uint64_t{InstrumentReadMsPerByte} * 1000 * static_cast<std::uint64_t>(readCount);
    try {
        CompleteRequestCrc(a.TxFrame);
        PrepareLine(a, port, mode, line, thread.Options(), budgetUs);
        port.WriteBytes(a.TxFrame.data(), FrameLineLength(a.TxFrame));
        const std::int32_t got = ReadReply(a, port, area, readCount, thread.Options().endEarly);
        NoteReplyRead(port, line, budgetUs);
        a.RxRaw = area;
        a.RxRawCount = got;
        scan = ScanReply(area, a.ExpectedCommand, a.ReplyDataLength, a.TxFrame[0], a.RxFrame);
        port.PurgeBuffers(true, true);
    } catch (const EComPort& e) {
        a.OutcomePortCode = e.PortCode();
        a.OutcomeSystemCode = e.SystemCode();
        Publish(a, esNoReply,
                e.Fault() == ComFault::DeviceLost ? TExchangeOutcome::DeviceLost
                                                  : TExchangeOutcome::PortError);
        return;
    } catch (const std::exception&) {
        Publish(a, esNoReply, TExchangeOutcome::PortError);
        return;
    }

    if (!ReplyCrcMatches(a.RxFrame)) {
        Publish(a, esNoReply, scan.found ? TExchangeOutcome::BadCrc : TExchangeOutcome::NoReply);
        return;
    }
    a.RxText = FrameText(a.RxFrame.data(), static_cast<std::size_t>(a.RxFrame[2]) + 4);
    line.unanswered = false;
    Publish(a, esAccepted, TExchangeOutcome::Accepted);
}
