// The arguments of "calibrate CHANNEL POINT VALUE": which command they name
// and the value in tenths as the window would send it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orbel::cli {

struct TCalibrationRequest {
    int channel = 0;          // 1 or 2
    std::string point;        // "C1" or "C2"
    int commandIndex = 0;     // into the command set
    double value = 0;         // as given
    std::uint16_t tenths = 0; // as sent
};

struct TCalibrationArgs {
    std::optional<TCalibrationRequest> request;
    std::string error; // when there is no request: why
};

// CHANNEL is 1 or 2; POINT is C1 or C2 in either case, with a Latin or a
// Cyrillic C; VALUE a decimal number with a point or a comma. A value the
// window would refuse is refused.
TCalibrationArgs ParseCalibration(const std::string& channel, const std::string& point,
                                  const std::string& value);

// A decimal number: an optional sign, digits with at most one decimal point
// or comma, at least one digit; rounded to the nearest double.
std::optional<double> DecimalValue(std::string_view text);

// The same text in tenths, the decimal digits themselves rounded once, halves
// to even (0.05 is 0, 0.15 is 2); none when it is no such number or rounds
// outside 0 to 65535.
std::optional<std::uint16_t> DecimalTenths(std::string_view text);

} // namespace orbel::cli
