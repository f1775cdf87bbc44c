// The device control record turned into a terminal record: a pure function,
// kept apart from the calls that read and write the device.
#pragma once

#include "serial/platform/ComPlatform.h"

#include <cstdint>
#include <string>
#include <termios.h>
#include <vector>

namespace orbel {

struct TTermiosPlan {
    // Raw mode with the record's frame, parity and flow control; the speed
    // bits are set only when the speed has a B-constant.
    termios tio{};
    std::uint32_t speed = 0;
    // False: the speed has no B-constant and goes through termios2 (BOTHER).
    bool standardSpeed = true;
    // Levels of the two output lines while the device is open.
    bool dtrOn = false;
    bool rtsOn = false;
    // 0, or EINVAL when the record asks for something no device can do
    // (speed 0, which would hang the line up, or a frame value out of range).
    int error = 0;
    // Requested features the terminal interface cannot express.
    std::vector<std::string> notAvailable;
};

TTermiosPlan MapDeviceControl(const TComDeviceControl& control);

// The B-constant of a speed in bits per second, or B0 when there is none.
speed_t StandardSpeedCode(std::uint32_t speed);

// The part of a terminal record that the read-back compares.
struct TLineState {
    tcflag_t iflag = 0;
    tcflag_t cflag = 0;
    std::uint32_t speed = 0;
};

// The settings the driver did not take, by name ("mark parity", "7 data bits").
// A speed counts as taken within 2 %, as a line tolerates.
std::vector<std::string> RefusedSettings(const TLineState& wanted, const TLineState& got);

// The one warning line about a device, or an empty text when there is nothing
// to say.
std::string ConfigurationWarning(const std::string& device, const std::vector<std::string>& refused,
                                 const std::vector<std::string>& notAvailable);

} // namespace orbel
