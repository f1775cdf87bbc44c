// The exchange trace: when ORBEL_TRACE names a file, every transaction
// appends its request, every byte the reply read delivered (stray bytes
// included) and its outcome, each line stamped with the wall-clock time in
// milliseconds. Records are written by the window thread after the
// transaction, never between its write and its read. A file that cannot be
// written is reported once on standard error and then left alone.
#pragma once

#include "protocol/EMUL_Functions.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

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
                std::int32_t systemCode);

    // The outcome as the trace writes it.
    static std::string OutcomeText(EMUL_Functions::TExchangeOutcome outcome, std::int32_t portCode,
                                   std::int32_t systemCode);

private:
    void Fail(const std::string& reason);

    std::string path_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    std::chrono::system_clock::time_point requestTime_{};
};
