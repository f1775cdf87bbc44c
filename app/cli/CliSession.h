// orbel-cli's link to the instrument: one request at a time, as the window
// sends it, with the reason orbel-cli gives for every answer it did not get.
#pragma once

#include "protocol/InstrumentLink.h"

#include <cstdint>
#include <string>

struct TAnswer : TLinkAnswer {
    std::string reason; // for the kinds other than Answered
};

class TCliSession {
public:
    // tracePath: empty for the trace $ORBEL_TRACE asks for.
    TCliSession(const std::string& tracePath, bool softwareMode, std::string decimalSeparator);

    // Opens the port with the instrument's line settings; throws EComPort.
    void Open(const std::string& port);

    // Sends the request of a command index and waits for its outcome.
    TAnswer Exchange(int commandIndex, std::uint16_t calibrationTenths = 0);

private:
    TInstrumentLink link_;
    TTimeoutModeFlag mode_;
};
