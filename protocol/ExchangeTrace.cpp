#include "protocol/ExchangeTrace.h"

#include "base/Text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

using EMUL_Functions::TExchangeOutcome;

namespace {

std::string Stamp(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    ::localtime_r(&seconds, &local);
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
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

TExchangeTrace TExchangeTrace::FromEnvironment() {
    const char* path = std::getenv("ORBEL_TRACE");
    return TExchangeTrace(path != nullptr ? path : "");
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
    case TExchangeOutcome::PortNotOpen:
        return "port not open";
    case TExchangeOutcome::PortError:
    case TExchangeOutcome::DeviceLost: {
        std::string text = outcome == TExchangeOutcome::DeviceLost ? "device lost" : "port error";
        text += " code " + DecimalText(portCode);
        if (systemCode >= 0) {
            text += " (" + std::string(std::strerror(systemCode)) + ", errno " +
                    DecimalText(systemCode) + ")";
        }
        return text;
    }
    case TExchangeOutcome::None:
        break;
    }
    return "none";
}

void TExchangeTrace::Fail(const std::string& reason) {
    failed_ = true;
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    std::fprintf(stderr, "orbel: cannot write the exchange trace to %s: %s; tracing is off\n",
                 path_.c_str(), reason.c_str());
}

void TExchangeTrace::Record(const std::vector<std::uint8_t>& request,
                            const std::vector<std::uint8_t>& received, TExchangeOutcome outcome,
                            std::int32_t portCode, std::int32_t systemCode) {
    if (!Active()) {
        return;
    }
    if (file_ == nullptr) {
        file_ = std::fopen(path_.c_str(), "ae");
        if (file_ == nullptr) {
            Fail(std::strerror(errno));
            return;
        }
    }
    const auto now = std::chrono::system_clock::now();
    const std::string text = Stamp(requestTime_) + " TX" + HexBytes(request) + "\n" + Stamp(now) +
                             " RX" + HexBytes(received) + "\n" + Stamp(now) + " " +
                             OutcomeText(outcome, portCode, systemCode) + "\n";
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0) {
        Fail(std::strerror(errno));
    }
}
