// The instrument on a serial port through the protocol layer's link (port,
// worker, trace, outcome), as a poll cycle needs it. The line's state and its
// reasons come from the link's typed outcome and the port's error.
#pragma once

#include "poll/InstrumentLine.h"
#include "protocol/InstrumentLink.h"

#include <string>

namespace orbel {

class TSerialInstrumentLine : public IInstrumentLine {
public:
    // tracePath: empty for the trace $ORBEL_TRACE names, if any. The
    // platform's own diagnostic lines are kept off standard error while the
    // line lives: the cycle says one line per change of state instead.
    TSerialInstrumentLine(const std::string& tracePath, bool softwareMode);
    ~TSerialInstrumentLine() override;
    TSerialInstrumentLine(const TSerialInstrumentLine&) = delete;
    TSerialInstrumentLine& operator=(const TSerialInstrumentLine&) = delete;

    bool Open(const std::string& port, std::string& reason) override;
    void Close() override;
    TLineAnswer Exchange(int commandIndex) override;

private:
    TTimeoutModeFlag mode_;
    TInstrumentLink link_;
};

} // namespace orbel
