// One mapper per field of the device control record (a group of Flags bits
// counts as a field). Each sets only what its field decides in the plan and
// returns false when the field holds a value no device can take.
#pragma once

#include "serial/platform/posix/TermiosMapping.h"

namespace orbel {

using TFieldMapper = bool (*)(const TComDeviceControl& control, TTermiosPlan& plan);

// BaudRate: the speed, and its B-constant where it has one; 0 would hang up.
bool MapSpeed(const TComDeviceControl& control, TTermiosPlan& plan);
// ByteSize: 5 to 8 data bits.
bool MapByteSize(const TComDeviceControl& control, TTermiosPlan& plan);
// Parity: none, odd, even, mark or space.
bool MapParity(const TComDeviceControl& control, TTermiosPlan& plan);
// StopBits: one, one and a half (only 5-bit frames have it), two.
bool MapStopBits(const TComDeviceControl& control, TTermiosPlan& plan);
// CTS output flow and the RTS handshake: one terminal switch for both.
bool MapHandshake(const TComDeviceControl& control, TTermiosPlan& plan);
// XON/XOFF flow, each direction.
bool MapSoftwareFlow(const TComDeviceControl& control, TTermiosPlan& plan);
// The parity check and its error character.
bool MapParityCheck(const TComDeviceControl& control, TTermiosPlan& plan);
// XonChar and XoffChar.
bool MapFlowChars(const TComDeviceControl& control, TTermiosPlan& plan);
// DTR and RTS control: the levels of the two output lines while open.
bool MapLineLevels(const TComDeviceControl& control, TTermiosPlan& plan);
// Flags the terminal interface has no counterpart for.
bool MapUnsupportedFlags(const TComDeviceControl& control, TTermiosPlan& plan);

// Every mapper, in the order their names of what is not available are listed.
inline constexpr TFieldMapper FieldMappers[] = {
    MapSpeed,        MapByteSize,    MapParity,    MapStopBits,   MapHandshake,
    MapSoftwareFlow, MapParityCheck, MapFlowChars, MapLineLevels, MapUnsupportedFlags,
};

} // namespace orbel
