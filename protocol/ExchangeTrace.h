// The exchange trace: when ORBEL_TRACE names a file, every transaction
// appends its request, every byte the reply read delivered (stray bytes
// included, and in system-bus mode the byte the pre-read took, in brackets)
// and its outcome (with the count of late bytes discarded before the request,
// which a line of their own before the request shows as far as they were read),
// each line stamped with the wall-clock time in milliseconds. Records are
// written by the window thread after the transaction, never between its write
// and its read.
//
// The trace never blocks the window: it is opened and written without
// waiting, so a pipe that is not read (a FIFO without a reader, a reader that
// lags) costs the record, which is counted; the next record that goes through
// says how many were dropped. Dropping is reported once on standard error. A
// file that cannot be written at all is reported once and then left alone.
#pragma once

#include "protocol/EMUL_Functions.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace orbel {

class TExchangeTrace {
public:
    // Tracing into `path`; an empty path traces nothing.
    explicit TExchangeTrace(std::string path);
    ~TExchangeTrace();
    TExchangeTrace(const TExchangeTrace&) = delete;
    TExchangeTrace& operator=(const TExchangeTrace&) = delete;

    // The trace that $ORBEL_TRACE asks for.
    static TExchangeTrace FromEnvironment();

    bool Active() const { return !path_.empty() && !failed_; }

    // Notes the moment the request leaves (before the worker is woken).
    void RequestStarted();

    // Appends the record of the transaction that has just ended.
    void Record(const std::vector<std::uint8_t>& request, const std::vector<std::uint8_t>& received,
                EMUL_Functions::TExchangeOutcome outcome, std::int32_t portCode,
                std::int32_t systemCode, std::optional<std::uint8_t> preRead = std::nullopt,
                std::int32_t lateBytes = 0, const std::vector<std::uint8_t>& lateRead = {});

    // Records that could not be written without waiting, so far.
    std::uint64_t Dropped() const { return dropped_; }

    // The outcome as the trace writes it.
    static std::string OutcomeText(EMUL_Functions::TExchangeOutcome outcome, std::int32_t portCode,
                                   std::int32_t systemCode);

private:
    // Opens the file if needed; false when this record cannot go out.
    bool Open();
    void Write(const std::string& text);
    void Drop();
    void Fail(const std::string& reason);
    void Close();

    std::string path_;
    int fd_ = -1;
    bool failed_ = false;
    std::uint64_t dropped_ = 0;       // records lost since the trace began
    std::uint64_t droppedUnsaid_ = 0; // of those, not yet noted in the trace
    bool dropReported_ = false;
    std::chrono::system_clock::time_point requestTime_{};
};

} // namespace orbel
