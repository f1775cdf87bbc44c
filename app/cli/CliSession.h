// orbel-cli's link to the instrument: one request at a time, as the window
// sends it, with the reason orbel-cli gives for every answer it did not get.
#pragma once

#include "poll/InstrumentLine.h"
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

// An open session as the poll loop sees it: the port stays as it is (the run
// opened it and ends on its loss), each answer keeps orbel-cli's reason.
class TSessionLine : public IInstrumentLine {
public:
    explicit TSessionLine(TCliSession& session) : session_(session) {}
    bool Open(const std::string&, std::string&) override { return true; }
    void Close() override {}
    TLineAnswer Exchange(int commandIndex) override;

    // The answer a poll reported, as orbel-cli counts and shows it.
    static TAnswer Answer(const TLineAnswer& line);

private:
    TCliSession& session_;
};

} // namespace orbel::cli
