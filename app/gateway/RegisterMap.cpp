#include "app/gateway/RegisterMap.h"

#include <algorithm>

namespace orbel::gateway {

namespace {

constexpr std::size_t MbapLength = 7; // transaction, protocol, length, unit
constexpr std::uint8_t BroadcastUnit = 0;
constexpr std::uint8_t DirectUnit = 255;

enum TFunction : std::uint8_t {
    fnReadDiscreteInputs = 2,
    fnReadHoldingRegisters = 3,
    fnReadInputRegisters = 4,
};

// The largest quantities one read may ask for.
constexpr unsigned MaxRegisterQuantity = 125;
constexpr unsigned MaxBitQuantity = 2000;

unsigned Word(const std::uint8_t* at) {
    return static_cast<unsigned>(at[0]) << 8 | at[1];
}

std::uint16_t AgeTenths(const TInstrumentState& state, TClock::time_point now) {
    if (!state.hasReadings) {
        return 0xFFFF;
    }
    const auto tenths =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - state.readingsTime).count() /
        100;
    return static_cast<std::uint16_t>(std::clamp<long long>(tenths, 0, 0xFFFF));
}

TRequestVerdict Exception(std::uint8_t code) {
    return {TRequestVerdict::TKind::Exception, code};
}

// A read of `quantity` items from `address` of a table of `size` items.
TRequestVerdict JudgeRead(unsigned address, unsigned quantity, unsigned maxQuantity,
                          unsigned size) {
    if (quantity == 0 || quantity > maxQuantity) {
        return Exception(meIllegalValue);
    }
    if (address + quantity > size) {
        return Exception(meIllegalAddress);
    }
    return {TRequestVerdict::TKind::Answer, 0};
}

} // namespace

bool ReadingsStale(const TInstrumentState& state, TClock::time_point now,
                   std::chrono::milliseconds staleAfter) {
    return !state.hasReadings || now - state.readingsTime > staleAfter;
}

TRegisters BuildRegisters(const TInstrumentState& state, TClock::time_point now,
                          std::chrono::milliseconds staleAfter) {
    const bool fresh = !ReadingsStale(state, now, staleAfter);
    std::uint16_t validity = 0;
    validity |= fresh && state.channelValid[0] ? vbChannel1 : 0;
    validity |= fresh && state.channelValid[1] ? vbChannel2 : 0;
    validity |= state.answering ? vbAnswering : 0;
    validity |= state.portOpen ? vbPortOpen : 0;

    TRegisters r{};
    std::copy(state.blocks.begin(), state.blocks.end(), r.begin());
    // A channel without valid readings shows no level or volume.
    for (std::size_t channel = 0; channel < 2; ++channel) {
        if ((validity & (1U << channel)) == 0) {
            r[1 + 2 * channel] = r[2 + 2 * channel] = NoValue;
        }
    }
    r[OwnRegisterFirst] = validity;
    r[OwnRegisterFirst + 1] = AgeTenths(state, now);
    r[OwnRegisterFirst + 2] = static_cast<std::uint16_t>(state.answeredPolls);
    r[OwnRegisterFirst + 3] = static_cast<std::uint16_t>(state.failedPolls);
    return r;
}

TDiscreteInputs BuildDiscreteInputs(const TRegisters& registers) {
    TDiscreteInputs bits{};
    for (int i = 0; i < DiscreteInputCount; ++i) {
        bits[static_cast<std::size_t>(i)] = (registers[OwnRegisterFirst] >> i) & 1U;
    }
    return bits;
}

TRequestVerdict JudgeRequest(const std::uint8_t* adu, std::size_t length, std::uint8_t unitId,
                             bool stale) {
    // The header must describe exactly the frame that came.
    if (length < MbapLength + 1 || Word(adu + 2) != 0 || Word(adu + 4) != length - 6) {
        return {};
    }
    const std::uint8_t unit = adu[6];
    if (unit != unitId && unit != BroadcastUnit && unit != DirectUnit) {
        return {TRequestVerdict::TKind::Ignore, 0};
    }
    const std::uint8_t function = adu[7];
    if (function >= 0x80) {
        // No request has one: an exception to it would look like a reply.
        return {};
    }
    const bool read = function == fnReadDiscreteInputs || function == fnReadHoldingRegisters ||
                      function == fnReadInputRegisters;
    if (!read) {
        // Writes of every kind included: calibration is done at the tank.
        return Exception(meIllegalFunction);
    }
    if (length != MbapLength + 5) {
        return {};
    }
    const unsigned address = Word(adu + 8);
    const unsigned quantity = Word(adu + 10);
    if (function == fnReadDiscreteInputs) {
        return JudgeRead(address, quantity, MaxBitQuantity, DiscreteInputCount);
    }
    TRequestVerdict verdict = JudgeRead(address, quantity, MaxRegisterQuantity, RegisterCount);
    if (verdict.kind == TRequestVerdict::TKind::Answer && stale &&
        address < static_cast<unsigned>(ReadingRegisterCount)) {
        verdict = Exception(meTargetFailed);
    }
    return verdict;
}

} // namespace orbel::gateway
