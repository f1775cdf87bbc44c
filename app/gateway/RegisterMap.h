// The Modbus side of the gateway without any socket: the register map built
// from the instrument's state, and what a request gets (an answer from the
// map, an exception, nothing, or the end of its connection).
#pragma once

#include "poll/InstrumentState.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace orbel::gateway {

// Holding and input registers 0 to 17 hold the same values.
constexpr int RegisterCount = 18;
// Discrete inputs 0 to 3: the validity bits.
constexpr int DiscreteInputCount = 4;
// Registers 0 to 4 (status byte, levels and volumes) fail with exception 0B
// while the readings are stale.
constexpr int ReadingRegisterCount = 5;

enum TValidityBit : std::uint16_t {
    vbChannel1 = 1U << 0,
    vbChannel2 = 1U << 1,
    vbAnswering = 1U << 2,
    vbPortOpen = 1U << 3,
};

enum TModbusException : std::uint8_t {
    meIllegalFunction = 0x01,
    meIllegalAddress = 0x02,
    meIllegalValue = 0x03,
    meTargetFailed = 0x0B,
};

using TRegisters = std::array<std::uint16_t, RegisterCount>;
using TDiscreteInputs = std::array<std::uint8_t, DiscreteInputCount>;

// True when there are no readings or they are older than staleAfter.
bool ReadingsStale(const TInstrumentState& state, TClock::time_point now,
                   std::chrono::milliseconds staleAfter);

// The register map at `now`. A channel is valid only while its readings are
// fresh and the instrument saw its sensor's signal.
TRegisters BuildRegisters(const TInstrumentState& state, TClock::time_point now,
                          std::chrono::milliseconds staleAfter);
TDiscreteInputs BuildDiscreteInputs(const TRegisters& registers);

struct TRequestVerdict {
    enum class TKind {
        Answer,    // read from the map
        Exception, // answer with `exception`
        Ignore,    // another unit's request: no answer, the connection stays
        Close,     // not Modbus TCP: the connection ends
    };
    TKind kind = TKind::Close;
    std::uint8_t exception = 0;
};

// What a whole request (MBAP header first, as the framing delivered it) gets
// from a gateway with the unit id `unitId` (0 and 255 address it too).
TRequestVerdict JudgeRequest(const std::uint8_t* adu, std::size_t length, std::uint8_t unitId,
                             bool stale);

} // namespace orbel::gateway
