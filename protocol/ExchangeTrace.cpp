#include "protocol/ExchangeTrace.h"

#include "base/LocalTime.h"
#include "base/Text.h"
#include "base/WideText.h"
#include "protocol/EMUL_Functions.h"
#include "protocol/TraceFile.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>

namespace orbel {

using EMUL_Functions::TExchangeOutcome;

namespace {

std::string Stamp(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    const std::tm local = LocalTime(seconds);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03d", static_cast<int>(ms % 1000));
    return std::string(text, n) + millis;
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t b : bytes) {
        text.push_back(' ');
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 0xF]);
    }
    return text;
}

} // namespace

TExchangeTrace::TExchangeTrace(std::string path) : path_(std::move(path)) {}

TExchangeTrace::~TExchangeTrace() {
    Close();
}

TExchangeTrace TExchangeTrace::FromEnvironment() {
    return TExchangeTrace(EnvironmentText("ORBEL_TRACE").value_or(""));
}

void TExchangeTrace::RequestStarted() {
    requestTime_ = std::chrono::system_clock::now();
}

std::string TExchangeTrace::OutcomeText(TExchangeOutcome outcome, std::int32_t portCode,
                                        std::int32_t systemCode) {
    switch (outcome) {
    case TExchangeOutcome::Accepted:
        return "accepted";
    case TExchangeOutcome::NoReply:
        return "no reply";
    case TExchangeOutcome::BadCrc:
        return "bad CRC";
    case TExchangeOutcome::Incomplete:
        return "incomplete reply";
    case TExchangeOutcome::PortNotOpen:
        return "port not open";
    case TExchangeOutcome::PortError:
    case TExchangeOutcome::DeviceLost: {
        std::string text = outcome == TExchangeOutcome::DeviceLost ? "device lost" : "port error";
        text += " code " + DecimalText(portCode);
        if (systemCode >= 0) {
            text += " (" + TraceSystemText(systemCode) + ")";
        }
        return text;
    }
    case TExchangeOutcome::None:
        break;
    }
    return "none";
}

void TExchangeTrace::Close() {
    if (fd_ >= 0) {
        CloseTraceFile(fd_);
        fd_ = -1;
    }
}

void TExchangeTrace::Fail(const std::string& reason) {
    failed_ = true;
    Close();
    // Through the stream, which the terminal front end gives a console's
    // own writes: the path and the reason may well be Russian.
    std::cerr << "orbel: cannot write the exchange trace to " + path_ + ": " + reason +
                     "; tracing is off\n"
              << std::flush;
}

void TExchangeTrace::Drop() {
    ++dropped_;
    ++droppedUnsaid_;
    if (!dropReported_) {
        dropReported_ = true;
        std::cerr << "orbel: the exchange trace " + path_ +
                         " is not being read; records that cannot be written at once are "
                         "dropped and counted in it\n"
                  << std::flush;
    }
}

bool TExchangeTrace::Open() {
    if (fd_ >= 0) {
        return true;
    }
    // Without waiting: a FIFO with no reader refuses at once instead of
    // holding the window until one comes.
    const TTraceOpened opened = OpenTraceFile(path_);
    if (opened.Io == TTraceIo::Done) {
        fd_ = opened.File;
        return true;
    }
    if (opened.Io == TTraceIo::Full) {
        Drop(); // a pipe nobody reads yet; a reader may come later
    } else {
        Fail(opened.Reason);
    }
    return false;
}

void TExchangeTrace::Write(const std::string& record) {
    const std::string text = SystemLines(
        droppedUnsaid_ == 0 ? record
                            : Stamp(std::chrono::system_clock::now()) + " " +
                                  std::to_string(droppedUnsaid_) + " records dropped\n" + record);
    std::size_t done = 0;
    while (done < text.size()) {
        const TTraceWritten written = WriteTraceFile(fd_, text.data() + done, text.size() - done);
        if (written.Io == TTraceIo::Done) {
            done += written.Count;
            continue;
        }
        // A full pipe takes nothing of a record this short; a pipe whose reader
        // has gone is opened afresh next time, for a reader that may come.
        if ((written.Io == TTraceIo::Full || written.Io == TTraceIo::ReaderGone) && done == 0) {
            if (written.Io == TTraceIo::ReaderGone) {
                Close();
            }
            Drop();
            return;
        }
        Fail(written.Reason);
        return;
    }
    droppedUnsaid_ = 0;
}

void TExchangeTrace::Record(const std::vector<std::uint8_t>& request,
                            const std::vector<std::uint8_t>& received, TExchangeOutcome outcome,
                            std::int32_t portCode, std::int32_t systemCode,
                            std::optional<std::uint8_t> preRead, std::int32_t lateBytes,
                            const std::vector<std::uint8_t>& lateRead) {
    if (!Active() || !Open()) {
        return;
    }
    const auto now = std::chrono::system_clock::now();
    std::string rx = " RX";
    if (preRead) {
        rx += " [" + HexBytes({*preRead}).substr(1) + "]";
    }
    std::string result = OutcomeText(outcome, portCode, systemCode);
    if (lateBytes > 0) {
        result += "; " + DecimalText(lateBytes) + " late bytes discarded";
    } else if (lateBytes == EMUL_Functions::LateBytesUncounted) {
        result += "; waiting bytes could not be counted, input purged";
    }
    // The late bytes were read and discarded just before the request left.
    const std::string late = lateRead.empty()
                                 ? std::string()
                                 : Stamp(requestTime_) + " LATE" + HexBytes(lateRead) + "\n";
    Write(late + Stamp(requestTime_) + " TX" + HexBytes(request) + "\n" + Stamp(now) + rx +
          HexBytes(received) + "\n" + Stamp(now) + " " + result + "\n");
}

} // namespace orbel
