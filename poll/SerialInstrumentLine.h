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

private:
    // The system's reason from the platform's last diagnostic line, taken.
    std::string TakeReason(const std::string& fallback);

    std::mutex diagnosticMutex_;
    std::string diagnostic_; // the platform's last line, kept off standard error
    TTimeoutModeFlag mode_;
    TInstrumentLink link_;
};

} // namespace orbel::gateway
