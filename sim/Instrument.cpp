#include "sim/Instrument.h"

#include <algorithm>

namespace orbel::sim {

namespace {

constexpr std::uint8_t kCalibrateMarker = 160;
constexpr std::array<std::uint8_t, 3> kReadCoeffsData{182, 0, 8};

// Triangle wave of +-25 tenths; each value has its own period and phase so
// that the four do not move in step.
int DriftOffset(std::size_t index, std::int64_t elapsedMs) {
    constexpr std::int64_t amplitude = 25;
    const std::int64_t period = 40000 + 7000 * static_cast<std::int64_t>(index);
    const std::int64_t phase = (elapsedMs + period * static_cast<std::int64_t>(index) / 4) % period;
    const std::int64_t ramp = 4 * amplitude * phase / period; // 0 .. 4A
    const std::int64_t wave = ramp < 2 * amplitude ? ramp : 4 * amplitude - ramp;
    return static_cast<int>(wave - amplitude);
}

Bytes Signature(const Options& o) {
    Bytes data{o.type};
    AppendBigEndian(data, o.serial);
    data.push_back(o.hard);
    data.push_back(o.soft);
    return BuildFrame(o.address, kCmdSignature, data);
}

Bytes Readings(const Options& o, std::chrono::milliseconds elapsed) {
    Bytes data;
    for (const std::uint16_t value : ReadingsAt(o, elapsed)) {
        AppendBigEndian(data, value);
    }
    data.push_back(o.status);
    data.push_back(0);
    return BuildFrame(o.address, kCmdReadings, data);
}

Bytes Coefficients(const Options& o) {
    Bytes data;
    for (const std::uint16_t value : o.coeffs) {
        AppendBigEndian(data, value);
    }
    return BuildFrame(o.address, kCmdReadCoeffs, data);
}

} // namespace

std::array<std::uint16_t, 4> ReadingsAt(const Options& options, std::chrono::milliseconds elapsed) {
    if (!options.drift) {
        return options.readings;
    }
    std::array<std::uint16_t, 4> values{};
    const std::int64_t ms = std::max<std::int64_t>(elapsed.count(), 0);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int drifted = options.readings[i] + DriftOffset(i, ms);
        values[i] = static_cast<std::uint16_t>(std::clamp(drifted, 0, 1000));
    }
    return values;
}

std::optional<Bytes> Answer(const Frame& request, Options& options,
                            std::chrono::milliseconds elapsed) {
    if (options.altReply) {
        const std::array<std::uint8_t, 1> data{1};
        return BuildFrame(options.address, kCmdAltReply, data);
    }
    const Bytes& data = request.data;
    switch (request.command) {
    case kCmdSignature:
        if (data.empty()) {
            return Signature(options);
        }
        break;
    case kCmdReadings:
        if (data.empty()) {
            return Readings(options, elapsed);
        }
        break;
    case kCmdReadCoeffs:
        if (std::ranges::equal(data, kReadCoeffsData)) {
            return Coefficients(options);
        }
        break;
    case kCmdCalibrate:
        if (data.size() == 4 && data[0] == kCalibrateMarker && data[1] < options.coeffs.size()) {
            options.coeffs[data[1]] = static_cast<std::uint16_t>(data[2] << 8 | data[3]);
            const std::array<std::uint8_t, 1> done{0};
            return BuildFrame(options.address, kCmdCalibrate, done);
        }
        break;
    default:
        break;
    }
    return std::nullopt;
}

} // namespace orbel::sim
