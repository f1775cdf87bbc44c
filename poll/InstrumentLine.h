// The instrument as a poll cycle needs it: open, close, and one request at a
// time with its outcome.
#pragma once

#include "protocol/InstrumentLink.h"

#include <string>

namespace orbel {

struct TLineAnswer {
    enum class TKind {
        Answered, // an accepted reply with its command's layout
        NoAnswer, // nothing, a bad reply, or a reply without the layout
        PortLost, // the port failed or the device went away
    };
    TKind kind = TKind::NoAnswer;
    TDecodedReply reply; // for Answered
    std::string reason;  // for the other kinds
    // The link's whole answer where there is a link (outcome, codes, dumps,
    // time); a scripted line may leave it empty.
    TLinkAnswer link;
};

// The kind of a link's answer as a poll counts it: a code 250 is no answer.
TLineAnswer::TKind LineKind(TAnswerKind kind);

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

} // namespace orbel
