// The simulator's end of the line, whatever device it is: a pseudo-terminal
// pair of its own, or a terminal that exists already (the host side of a
// virtual machine's serial port, say).
#pragma once

#include <string>

namespace orbel::sim {

class Line {
public:
    virtual ~Line() = default;

    // The descriptor the simulator reads, writes and polls; non-blocking.
    virtual int Fd() const = 0;
    // The device the line is known by: the one the tool opens for a
    // pseudo-terminal pair, the one served otherwise.
    virtual const std::string& DevicePath() const = 0;
    virtual bool IsOpen() const = 0;
    // Closes the line (and removes its link, if any).
    virtual void Close() noexcept = 0;
    // Whether a hang-up seen on Fd() means the other end is gone for good.
    // On a pair of its own it only means that no tool has the device open.
    virtual bool HangUpIsFinal() const = 0;
};

// Puts the terminal `fd` in raw mode at 9600 baud: no echo, no translation,
// no flow control, modem lines ignored, nothing hung up at the close. Throws
// std::system_error naming `what`.
void MakeRaw(int fd, const std::string& what);

} // namespace orbel::sim
