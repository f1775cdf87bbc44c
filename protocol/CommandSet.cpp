#include "protocol/CommandSet.h"

#include <cfenv>
#include <cmath>

namespace orbel {

const char* const CommandItemTexts[CommandCount] = {
    "C\u0447\u0438\u0442\u0430\u0442\u044c \u0430\u0442\u0440\u0438\u0431\u0443\u0442\u044b",
    "Выдать показания",
    "Выдать параметры калибровки",
    "Калибровка С1 канал 1",
    "Калибровка С2 канал 1",
    "Калибровка С1 канал 2",
    "Калибровка С2 канал 2",
};

namespace {

// The command each item of the selector sends.
constexpr TCommandCode ItemCommands[CommandCount] = {
    CMD_SIGNATURE, CMD_READINGS,  CMD_READ_COEFFS, CMD_CALIBRATE,
    CMD_CALIBRATE, CMD_CALIBRATE, CMD_CALIBRATE,
};

const TCommandLayout& ItemLayout(int index) {
    return *FindCommandLayout(ItemCommands[index]);
}

} // namespace

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
    if (index < 0 || index >= CommandCount) {
        return std::nullopt;
    }
    const TCommandLayout& layout = ItemLayout(index);
    frame[0] = RequestAddress;
    frame[1] = layout.code;
    frame[2] = layout.RequestLength();
    std::size_t at = 3;
    for (std::size_t i = 0; i < layout.fixedCount; ++i) {
        frame[at++] = layout.fixedData[i];
    }
    if (IsCalibrationCommand(index)) {
        frame[at++] = static_cast<std::uint8_t>(index - ciCalibrateC1Channel1); // point selector
        frame[at++] = static_cast<std::uint8_t>(calibrationValue >> 8);
        frame[at] = static_cast<std::uint8_t>(calibrationValue & 0xFF);
    }
    return layout.replyLength;
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
