// A scripted port for the exchange worker: each ReadBytes takes the next
// scripted chunk (cut to the count asked for), writes and purges are recorded.
#pragma once

#include "protocol/ExchangeHost.h"
#include "serial/errors/EComPort.h"

#include <cstring>
#include <deque>
#include <optional>
#include <vector>

using namespace orbel;

class FakeExchangePort : public IExchangePort {
public:
    bool connected = true;
    std::deque<std::vector<std::uint8_t>> reads;   // one entry per ReadBytes call
    std::vector<std::vector<std::uint8_t>> writes; // every write, in order
    std::vector<std::int32_t> readCounts;          // counts asked for
    int purges = 0;                                // of both queues
    int inputPurges = 0;                           // of the input queue alone
    int outputPurges = 0;                          // of the output queue alone
    std::deque<std::int32_t> waiting;              // one entry per BytesWaiting call, then 0
    std::optional<EComPort> failRead;              // raised by the next read
    std::optional<EComPort> failWaiting;           // raised by every BytesWaiting
    std::deque<std::int32_t> heardWhileQuiet;      // bytes each ReadWithin takes, then none
    std::optional<std::int32_t> shortWrite;        // the next write moves only this many bytes

    bool Connected() const override { return connected; }

    std::int32_t ReadBytes(void* buffer, std::int32_t count) override {
        readCounts.push_back(count);
        if (failRead) {
            EComPort e = *failRead;
            failRead.reset();
            throw e;
        }
        if (reads.empty()) {
            return 0;
        }
        std::vector<std::uint8_t> chunk = std::move(reads.front());
        reads.pop_front();
        const std::size_t n = std::min<std::size_t>(chunk.size(), static_cast<std::size_t>(count));
        if (n > 0) { // an empty chunk has no data to copy from
            std::memcpy(buffer, chunk.data(), n);
        }
        return static_cast<std::int32_t>(n);
    }

    std::int32_t ReadWithin(void* buffer, std::int32_t count, std::uint32_t) override {
        if (heardWhileQuiet.empty()) {
            return 0;
        }
        const std::int32_t n = std::min(heardWhileQuiet.front(), count);
        heardWhileQuiet.pop_front();
        std::memset(buffer, 0x55, static_cast<std::size_t>(n));
        return n;
    }

    std::int32_t WriteBytes(const void* buffer, std::int32_t count) override {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        const std::int32_t moved = shortWrite.value_or(count);
        shortWrite.reset();
        writes.emplace_back(bytes, bytes + moved);
        return moved;
    }

    void PurgeBuffers(bool input, bool output) override {
        if (input && output) {
            ++purges;
        } else if (input) {
            ++inputPurges;
        } else if (output) {
            ++outputPurges;
        }
    }

    std::int32_t BytesWaiting() override {
        if (failWaiting) {
            throw *failWaiting;
        }
        if (waiting.empty()) {
            return 0;
        }
        const std::int32_t n = waiting.front();
        waiting.pop_front();
        return n;
    }
};

class FakeExchangeHost : public IExchangeHost {
public:
    explicit FakeExchangeHost(IExchangePort& port) : port_(port) {}
    IExchangePort& ExchangePort() override { return port_; }
    std::uint8_t TimeoutModeFlag() override { return mode; }
    std::uint8_t mode = tmSoftware;

private:
    IExchangePort& port_;
};
