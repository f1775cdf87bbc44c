// orbel-cli's link to the instrument: one request at a time, as the window
// sends it, with the reason orbel-cli gives for every answer it did not get.
#pragma once

#include "protocol/InstrumentLink.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orbel::cli {

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

    // Between requests: why the port is no longer there (unplugged, the other
    // end hung up), or nothing while it is. Other failures of the check count
    // as nothing: some drivers refuse the status call on a sound port.
    std::optional<std::string> LostPort();

private:
    TInstrumentLink link_;
    TTimeoutModeFlag mode_;
};

} // namespace orbel::cli
