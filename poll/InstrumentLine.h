// The instrument as the gateway's poller needs it: open, close, and one
// request at a time with its outcome.
#pragma once

#include "protocol/ReplyDecoder.h"

#include <string>

namespace orbel::gateway {

struct TLineAnswer {
    enum class TKind {
        Answered, // an accepted reply with its command's layout
        NoAnswer, // nothing, a bad reply, or a reply without the layout
        PortLost, // the port failed or the device went away
    };
    TKind kind = TKind::NoAnswer;
    TDecodedReply reply; // for Answered
    std::string reason;  // for the other kinds
};

class IInstrumentLine {
public:
    virtual ~IInstrumentLine() = default;
    // Opens the port with the instrument's line settings; false with the
    // reason when it cannot be opened.
    virtual bool Open(const std::string& port, std::string& reason) = 0;
    virtual void Close() = 0;
    // Sends the request of a command index (CommandSet.h) and waits for it.
    virtual TLineAnswer Exchange(int commandIndex) = 0;
};

} // namespace orbel::gateway
