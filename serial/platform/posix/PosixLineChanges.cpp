#include "serial/platform/posix/PosixLineChanges.h"

#include "serial/platform/ComPlatform.h"

#include <sys/ioctl.h>

namespace orbel {

namespace {

std::uint32_t If(bool condition, std::uint32_t bit) {
    return condition ? bit : 0;
}

} // namespace

std::uint32_t LineEvents(const TLineSnapshot& before, const TLineSnapshot& now, TLineWake woke) {
    // Only bytes still there count: woken by a change of the settings, or
    // with the bytes already read by someone else, there is nothing to say.
    std::uint32_t events = If(woke.input && now.inQueue > 0, EventMask::RxChar);
    events |= If(now.inQueue >= Rx80Level && before.inQueue < Rx80Level, EventMask::Rx80Full);
    events |= If(now.outQueue == 0 && (woke.output || before.outQueue > 0), EventMask::TxEmpty);
    const std::uint32_t changed = now.modem ^ before.modem;
    events |= If((changed & ModemStatus::CtsOn) != 0, EventMask::Cts);
    events |= If((changed & ModemStatus::DsrOn) != 0, EventMask::Dsr);
    events |= If((changed & ModemStatus::RlsdOn) != 0, EventMask::Rlsd);
    events |= If((changed & now.modem & ModemStatus::RingOn) != 0, EventMask::Ring);
    events |=
        If((LineErrors(before.counters, now.counters) & ~LineError::Break) != 0, EventMask::Err);
    events |= If(now.counters.brk != before.counters.brk, EventMask::Break);
    return events;
}

std::uint32_t LineErrors(const TErrorCounters& before, const TErrorCounters& now) {
    return If(now.frame != before.frame, LineError::Frame) |
           If(now.parity != before.parity, LineError::RxParity) |
           If(now.overrun != before.overrun, LineError::Overrun) |
           If(now.brk != before.brk, LineError::Break) |
           If(now.bufOverrun != before.bufOverrun, LineError::RxOver);
}

std::uint32_t ModemStatusOfLines(int lines) {
    return If((lines & TIOCM_CTS) != 0, ModemStatus::CtsOn) |
           If((lines & TIOCM_DSR) != 0, ModemStatus::DsrOn) |
           If((lines & TIOCM_RNG) != 0, ModemStatus::RingOn) |
           If((lines & TIOCM_CAR) != 0, ModemStatus::RlsdOn);
}

} // namespace orbel
