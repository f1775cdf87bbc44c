// The requests the tool sends, numbered as the window's selector lists them
// (CommandTable.h), and the encoding of calibration values.
#pragma once

#include "protocol/CommandTable.h"
#include "protocol/EMUL_Functions.h"

#include <array>
#include <cstdint>
#include <optional>

namespace orbel {

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

static_assert(ciSignature == FirstRequestOf(CMD_SIGNATURE) &&
              ciReadings == FirstRequestOf(CMD_READINGS) &&
              ciReadCoeffs == FirstRequestOf(CMD_READ_COEFFS) &&
              ciCalibrateC1Channel1 == FirstRequestOf(CMD_CALIBRATE) &&
              ciCalibrateC2Channel2 + 1 == FirstRequestOf(CMD_CALIBRATE) + 4);

// Item texts of the command selector, in index order (UTF-8).
inline constexpr std::array<const char*, CommandCount> CommandItemTexts = [] {
    std::array<const char*, CommandCount> texts{};
    std::size_t at = 0;
    for (const TCommandRow& row : CommandRows) {
        for (const char* item : row.items) {
            texts[at++] = item;
        }
    }
    return texts;
}();

bool IsCalibrationCommand(int index);

// The command that takes calibration point C1 (point 1) or C2 (point 2) of
// channel 1 or 2; nothing for any other channel or point.
std::optional<int> CalibrationCommandIndex(int channel, int point);

// Writes positions 0 to 2 and the data bytes of the request for `index` into
// `frame` (other positions are left alone) and returns the expected reply
// length; `calibrationValue` is the 16-bit value in tenths for a calibration.
// Returns nothing, and touches nothing, for an index outside 0 to
// CommandCount - 1.
std::optional<std::int32_t> BuildRequest(int index, std::uint16_t calibrationValue,
                                         EMUL_Functions::TFrame& frame);

// The calibration value in tenths for a field value v: v x 10, computed from
// the exact product, rounded to the nearest integer with halves to the even
// one. Empty when the frame cannot carry it (NaN, below 0, above 65535).
std::optional<std::uint16_t> CalibrationTenths(double value);

} // namespace orbel
