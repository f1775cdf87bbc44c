// A terminal device that exists already, served as the line: the host side of
// a virtual machine's serial port or USB adapter, or one end of a null-modem
// cable. The simulator opens it raw and takes no lock on it; whoever is at
// the other end of the wire is the tool.
#pragma once

#include "sim/Line.h"

#include <string>
#include <system_error>

namespace orbel::sim {

// The device could not be opened or is no terminal.
class LineError : public std::system_error {
public:
    using std::system_error::system_error;
};

class TerminalLine : public Line {
public:
    TerminalLine() = default;
    ~TerminalLine() override;
    TerminalLine(const TerminalLine&) = delete;
    TerminalLine& operator=(const TerminalLine&) = delete;

    // Opens `device` non-blocking and puts it in raw mode at 9600 baud.
    // Throws LineError.
    void Open(const std::string& device);

    int Fd() const override { return fd_; }
    const std::string& DevicePath() const override { return path_; }
    bool IsOpen() const override { return fd_ >= 0; }
    void Close() noexcept override;
    bool HangUpIsFinal() const override { return true; }

private:
    int fd_ = -1;
    std::string path_;
};

} // namespace orbel::sim
