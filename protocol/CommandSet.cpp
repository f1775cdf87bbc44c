#include "protocol/CommandSet.h"

#include <cfenv>
#include <cmath>

namespace orbel {

bool IsCalibrationCommand(int index) {
    return index >= ciCalibrateC1Channel1 && index <= ciCalibrateC2Channel2;
}

std::optional<int> CalibrationCommandIndex(int channel, int point) {
    // C1, C2 of channel 1, then C1, C2 of channel 2.
    if (channel < 1 || channel > 2 || point < 1 || point > 2) {
        return std::nullopt;
    }
    return ciCalibrateC1Channel1 + 2 * (channel - 1) + (point - 1);
}

std::optional<std::int32_t> BuildRequest(int index, std::uint16_t calibrationValue,
                                         EMUL_Functions::TFrame& frame) {
    const TRequestItem item = RequestItem(index);
    if (item.row == nullptr) {
        return std::nullopt;
    }
    const TCommandRow& row = *item.row;
    frame[0] = RequestAddress;
    frame[1] = row.code;
    frame[2] = row.RequestLength();
    std::size_t at = 3;
    for (std::size_t i = 0; i < row.fixedCount; ++i) {
        frame[at++] = row.fixedData[i];
    }
    if (row.argument == TArgument::CalibrationPoint) {
        frame[at++] = static_cast<std::uint8_t>(item.place); // point selector
        frame[at++] = static_cast<std::uint8_t>(calibrationValue >> 8);
        frame[at] = static_cast<std::uint8_t>(calibrationValue & 0xFF);
    }
    return row.replyLength;
}

std::optional<std::uint16_t> CalibrationTenths(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    // p is v x 10 rounded once; the fused multiply-add gives the exact error of
    // that rounding, which decides a product that landed exactly on a half.
    const double product = value * 10.0;
    const double error = std::fma(value, 10.0, -product);
    double rounded = std::nearbyint(product); // halves to even in the default mode
    const double fraction = product - std::floor(product);
    if (fraction == 0.5 && error != 0.0) {
        rounded = error > 0 ? std::floor(product) + 1.0 : std::floor(product);
    }
    if (!(rounded >= 0.0 && rounded <= 65535.0)) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(rounded);
}

} // namespace orbel
