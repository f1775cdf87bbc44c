// A second, plain descriptor on a terminal, for what the platform has no call
// for: the UART's loopback and auxiliary outputs, the driver's counters, the
// record the driver holds, and the clock behind its speeds. Opened without
// any lock, before or beside the platform's own exclusive open.
#pragma once

#include <cstdint>
#include <string>

namespace orbel::guest {

// Modem-control bits of the kernel's interface that the C library does not
// name (<asm-generic/termios.h>): the UART's OUT1 and OUT2 outputs and its
// loopback mode. In loopback RTS shows as CTS, DTR as DSR, OUT1 as RI and
// OUT2 as DCD.
inline constexpr int kModemOut1 = 0x2000;
inline constexpr int kModemOut2 = 0x4000;
inline constexpr int kModemLoop = 0x8000;

struct DriverCounters {
    int cts = 0, dsr = 0, rng = 0, dcd = 0;
    int rx = 0, tx = 0;
    int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
};

// What the driver holds of the line: the control flags and the speed.
struct HeldLine {
    std::uint32_t cflag = 0;
    std::uint32_t speed = 0;
};

class LineControl {
public:
    // Throws std::runtime_error when the device cannot be opened.
    explicit LineControl(const std::string& device);
    ~LineControl();
    LineControl(const LineControl&) = delete;
    LineControl& operator=(const LineControl&) = delete;

    int Fd() const { return fd_; }

    // Raises or lowers modem-control bits; false when the driver refuses.
    bool Set(int bits, bool on);
    // The modem lines, or -1 when the driver has none.
    int Lines() const;
    // False when the driver keeps no counters.
    bool Counters(DriverCounters& counters) const;
    HeldLine Held() const;
    // The UART's clock, as the base speed (clock / 16); 0 when not a UART.
    int BaseSpeed() const;
    bool SetBaseSpeed(int speed);

private:
    int fd_ = -1;
};

// Parity flags of the kernel's terminal record, for the read-back checks.
bool ParityIsMark(std::uint32_t cflag);

} // namespace orbel::guest
