// The instrument on a serial port through the protocol layer's link (port,
// worker, trace, outcome), as the poller needs it.
#pragma once

#include "app/gateway/InstrumentLine.h"
#include "protocol/InstrumentLink.h"

#include <mutex>
#include <string>

namespace orbel::gateway {

class TSerialInstrumentLine : public IInstrumentLine {
public:
    // tracePath: empty for the trace $ORBEL_TRACE names, if any.
    TSerialInstrumentLine(const std::string& tracePath, bool softwareMode);
    ~TSerialInstrumentLine() override;
    TSerialInstrumentLine(const TSerialInstrumentLine&) = delete;
    TSerialInstrumentLine& operator=(const TSerialInstrumentLine&) = delete;

    bool Open(const std::string& port, std::string& reason) override;
    void Close() override;
    TLineAnswer Exchange(int commandIndex) override;
    // The last open failed for good: the name stands for a directory, a FIFO,
    // a file or a device that is no terminal, which never becomes a port.
    bool NeverASerialPort() const { return neverSerialPort_; }

private:
    // The system's reason from the platform's last diagnostic line, taken.
    std::string TakeReason(const std::string& fallback);

    std::mutex diagnosticMutex_;
    std::string diagnostic_; // the platform's last line, kept off standard error
    TTimeoutModeFlag mode_;
    TInstrumentLink link_;
    bool neverSerialPort_ = false;
};

} // namespace orbel::gateway
