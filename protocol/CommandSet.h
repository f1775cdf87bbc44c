// The seven requests the tool sends and the encoding of calibration values.
#pragma once

#include "protocol/CommandTable.h"
#include "protocol/EMUL_Functions.h"

#include <cstdint>
#include <optional>

namespace orbel {

constexpr int CommandCount = 7;
constexpr std::uint8_t RequestAddress = 255;

enum TCommandIndex : int {
    ciSignature = 0,
    ciReadings = 1,
    ciReadCoeffs = 2,
    ciCalibrateC1Channel1 = 3,
    ciCalibrateC2Channel1 = 4,
    ciCalibrateC1Channel2 = 5,
    ciCalibrateC2Channel2 = 6,
};

// Item texts of the command selector, in index order (UTF-8).
extern const char* const CommandItemTexts[CommandCount];

bool IsCalibrationCommand(int index);

// The command that takes calibration point C1 (point 1) or C2 (point 2) of
// channel 1 or 2; nothing for any other channel or point.
std::optional<int> CalibrationCommandIndex(int channel, int point);

// Writes positions 0 to 2 and the data bytes of the request for `index` into
// `frame` (other positions are left alone) and returns the expected reply
// length; `calibrationValue` is the 16-bit value in tenths for indexes 3 to 6.
// Returns nothing, and touches nothing, for an index outside 0 to 6.
std::optional<std::int32_t> BuildRequest(int index, std::uint16_t calibrationValue,
                                         EMUL_Functions::TFrame& frame);

// The calibration value in tenths for a field value v: v x 10, computed from
// the exact product, rounded to the nearest integer with halves to the even
// one. Empty when the frame cannot carry it (NaN, below 0, above 65535).
std::optional<std::uint16_t> CalibrationTenths(double value);

} // namespace orbel
