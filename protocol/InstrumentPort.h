// The instrument's serial port: the line settings both front ends give their
// port, and the port as the exchange worker sees it.
#pragma once

#include "protocol/ExchangeHost.h"
#include "serial/core/ComPort.h"

namespace orbel {

// The read budget a byte of the reply gets on the instrument's line.
inline constexpr std::uint32_t InstrumentReadMsPerByte = 7;

// 9600 baud, 8 data bits, mark parity, one stop bit, no flow control, DTR and
// RTS held off, no line events; a read may take 7 ms a byte, a write 200 ms a
// byte. The port name is left alone.
void ConfigureInstrumentLine(TCustomComPort& port);

class TComPortExchange : public IExchangePort {
public:
    void Attach(TCustomComPort* port) { port_ = port; }

    bool Connected() const override { return port_ != nullptr && port_->Connected(); }
    std::int32_t ReadBytes(void* buffer, std::int32_t count) override {
        return port_->ReadBytes(buffer, count);
    }
    std::int32_t WriteBytes(const void* buffer, std::int32_t count) override {
        return port_->WriteBytes(buffer, count);
    }
    void PurgeBuffers(bool input, bool output) override { port_->PurgeBuffers(input, output); }
    std::int32_t BytesWaiting() override { return port_->BytesWaiting(); }
    std::int32_t ReadBytesUntil(
        void* buffer, std::int32_t count,
        const std::function<std::int32_t(const std::uint8_t*, std::int32_t)>& decided) override {
        return port_->ReadBytesUntil(buffer, count, decided);
    }
    std::int32_t ReadWithin(void* buffer, std::int32_t count, std::uint32_t waitMs) override {
        return port_->ReadWithin(buffer, count, waitMs);
    }
    std::uint64_t ClockUs() const override { return port_->Platform().ClockUs(); }

private:
    TCustomComPort* port_ = nullptr;
};

} // namespace orbel
