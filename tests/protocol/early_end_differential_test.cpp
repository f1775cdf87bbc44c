// The reply read that ends as soon as the reply is settled gives the same
// answer as the read that waits out its budget: both run over thousands of
// generated arrival patterns on the fake platform's timed line, each followed
// by a clean exchange (which trailing bytes must not reach).
#include "protocol/CommandSet.h"
#include "protocol/Dispatch.h"
#include "protocol/EMUL_Functions.h"
#include "protocol/InstrumentPort.h"
#include "protocol/UART_THREAT.h"
#include "serial/core/ComPort.h"
#include "serial/platform/fake/FakeComPlatform.h"

#include <gtest/gtest.h>

#include <random>

using namespace orbel;

using namespace EMUL_Functions;

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint64_t CharUs = 1146;

struct Outcome {
    TFrame rx;
    std::string text;
    std::int32_t status;
    TExchangeOutcome outcome;
    std::uint64_t endUs; // on the line's clock, from the request
    bool operator==(const Outcome& o) const {
        return rx == o.rx && text == o.text && status == o.status && outcome == o.outcome;
    }
};

Bytes WithCrc(Bytes frame) {
    TFrame f{};
    std::copy(frame.begin(), frame.end(), f.begin());
    const std::uint16_t crc = CRC16(static_cast<std::uint8_t>(frame.size()), f);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

struct Pattern {
    int command = 0;
    bool variableLength = false;
    std::vector<TFakeArrival> arrivals;
    std::string what;
};

// A reply, a 250 frame or silence, with stray bytes before it, trailing bytes
// or a second frame behind it, a lost address byte, a bad CRC, a late last
// byte, in chunks at a line's pace or all at once.
Pattern Generate(std::mt19937& random) {
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    Pattern p;
    p.command = pick(4);
    p.variableLength = pick(12) == 0;
    TFrame request{};
    const std::int32_t replyLength = *BuildRequest(p.command, 50, request);
    const int readCount = p.variableLength ? 265 : replyLength + 7;
    Bytes bytes(static_cast<std::size_t>(pick(6)), 0);
    for (auto& b : bytes) {
        b = pick(3) == 0 ? static_cast<std::uint8_t>(pick(256)) : 0;
    }
    const int kind = pick(20);
    const std::uint8_t address = pick(5) == 0 ? 255 : 1;
    Bytes reply;
    if (kind == 0) {
        p.what = "silence";
    } else if (kind <= 3) {
        reply = WithCrc({address, 250, 2, static_cast<std::uint8_t>(pick(256))});
        p.what = "code 250";
    } else {
        const std::uint8_t length = pick(8) == 0 ? static_cast<std::uint8_t>(1 + pick(14))
                                                 : static_cast<std::uint8_t>(replyLength);
        reply = {address, request[1], length};
        for (int i = 1; i < length; ++i) {
            reply.push_back(static_cast<std::uint8_t>(pick(256)));
        }
        reply = WithCrc(reply);
        p.what = "reply";
    }
    if (!reply.empty() && pick(10) == 0) {
        reply[static_cast<std::size_t>(pick(static_cast<int>(reply.size())))] ^= 0x10;
        p.what += ", corrupted";
    }
    if (!reply.empty() && pick(10) == 0) {
        reply.erase(reply.begin());
        p.what += ", address lost";
    }
    const std::size_t replyEnd = bytes.size() + reply.size();
    bytes.insert(bytes.end(), reply.begin(), reply.end());
    if (pick(6) == 0) {
        const Bytes second = WithCrc({address, request[1], 1});
        bytes.insert(bytes.end(), second.begin(), second.end());
        p.what += ", second frame";
    }
    for (int i = pick(3) == 0 ? pick(4) : 0; i > 0; --i) {
        bytes.push_back(static_cast<std::uint8_t>(pick(256)));
    }
    // Arrival: from 0 to 20 ms after the request, in chunks of 1 to 3 bytes
    // as the line carries them (or all at once), the last byte of the reply
    // maybe late. A driver that hands bytes on within 3.5 character times
    // keeps the gaps between chunks inside the quiet gap.
    const bool lateLast = replyEnd > 0 && pick(10) == 0;
    const bool atOnce = pick(8) == 0;
    std::uint64_t at = static_cast<std::uint64_t>(pick(20'000));
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - i, 1 + pick(3));
        std::size_t n = chunk;
        if (lateLast && i < replyEnd - 1 && i + n > replyEnd - 1) {
            n = replyEnd - 1 - i;
        }
        if (lateLast && i == replyEnd - 1) {
            at += static_cast<std::uint64_t>(pick(150'000)); // maybe past the budget
        }
        at += atOnce ? 0 : CharUs * n;
        // Within a millisecond of the budget's end a byte may fall on either
        // side of a read that waits in whole milliseconds; keep clear of it.
        if (const std::uint64_t end = 1000u * 7 * static_cast<std::uint64_t>(readCount);
            at + 1000 > end && at < end + 1000) {
            at += 2000;
        }
        p.arrivals.push_back({at, Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(i + n))});
        i += n;
    }
    if (lateLast) {
        p.what += ", late last byte";
    }
    return p;
}

class Line : public IExchangeHost {
public:
    explicit Line(bool endEarly) {
        port_.BeginLoading();
        ConfigureInstrumentLine(port_);
        port_.AfterLoad();
        port_.SetConnected(true);
        line_ = &fake_.UseTimedLine();
        exchange_.Attach(&port_);
        TExchangeOptions options;
        options.endEarly = endEarly;
        worker_.SetOptions(options);
    }
    IExchangePort& ExchangePort() override { return exchange_; }
    std::uint8_t TimeoutModeFlag() override { return tmSystemBus; }

    // A fresh line and a worker that has seen nothing yet.
    void Reset() {
        line_->Reset();
        worker_.Line() = TLineState{};
    }

    Outcome Exchange(const Pattern& p) {
        ReplyDataLength = *BuildRequest(p.command, 50, TxFrame);
        if (p.variableLength) {
            ReplyDataLength = VariableReplyLength;
        }
        PrepareRequest();
        line_->ScriptAfterWrite(p.arrivals);
        const std::uint64_t start = line_->NowUs();
        UART_EXCHANGE(worker_, exchange_, tmSystemBus);
        return {RxFrame, RxText, ExchangeStatus.load(), ExchangeOutcome, line_->NowUs() - start};
    }

private:
    TFakeComPlatform fake_;
    TComPort port_{nullptr, &fake_};
    TComPortExchange exchange_;
    TFakeLine* line_ = nullptr;
    UART_THREAT worker_{*this};
};

} // namespace

TEST(EarlyEnd, GivesTheSameAnswerAsWaitingOutTheBudgetOverThousandsOfPatterns) {
    std::mt19937 random(20261207);
    constexpr int Patterns = 4000;
    int endedEarly = 0;
    int accepted = 0;
    Line waiting(false);
    Line early(true);
    for (int i = 0; i < Patterns; ++i) {
        const Pattern p = Generate(random);
        Pattern clean;
        clean.command = ciSignature;
        clean.arrivals = {{3 * CharUs, {1, 32, 6, 3, 0, 17, 2, 5, 117, 5}}};
        waiting.Reset();
        early.Reset();
        const Outcome slow = waiting.Exchange(p);
        const Outcome fast = early.Exchange(p);
        ASSERT_EQ(fast, slow) << "pattern " << i << ": " << p.what;
        ASSERT_EQ(early.Exchange(clean), waiting.Exchange(clean))
            << "after pattern " << i << ": " << p.what;
        accepted += slow.status == esAccepted ? 1 : 0;
        endedEarly += fast.endUs < slow.endUs ? 1 : 0;
        ASSERT_LE(fast.endUs, slow.endUs) << "pattern " << i << ": " << p.what;
    }
    // Enough accepted replies to mean something, and each of them ended early.
    EXPECT_GT(accepted, Patterns / 3);
    EXPECT_GE(endedEarly, accepted);
}
