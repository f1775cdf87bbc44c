// One request as the gateway's client thread takes it: the verdict on the
// frame, then the map it would answer from, for a state taken from the input.
//
// Input: one byte of flags (bit 0 stale, bit 1 readings present), the
// gateway's unit id, then the frame as the framing delivered it (0 to 260).

#include "FuzzCheck.h"

#include "app/gateway/RegisterMap.h"

#include <cstddef>
#include <cstdint>

using namespace orbel;
using namespace orbel::gateway;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const bool stale = (data[0] & 1) != 0;
    const std::uint8_t unitId = data[1];
    const std::uint8_t* adu = data + 2;
    const std::size_t length = size - 2;
    const TRequestVerdict v = JudgeRequest(adu, length, unitId, stale);

    using TKind = TRequestVerdict::TKind;
    FUZZ_CHECK((v.kind == TKind::Exception) == (v.exception != 0));
    if (v.kind != TKind::Close) {
        // Only a frame whose header describes it exactly gets anywhere.
        FUZZ_CHECK(length >= 8 && adu[2] == 0 && adu[3] == 0);
        FUZZ_CHECK((static_cast<std::size_t>(adu[4]) << 8 | adu[5]) == length - 6);
    }
    if (v.kind == TKind::Answer) {
        const unsigned function = adu[7];
        const unsigned address = static_cast<unsigned>(adu[8]) << 8 | adu[9];
        const unsigned quantity = static_cast<unsigned>(adu[10]) << 8 | adu[11];
        const unsigned size = function == 2 ? DiscreteInputCount : RegisterCount;
        FUZZ_CHECK(function >= 2 && function <= 4);
        FUZZ_CHECK(quantity >= 1 && address + quantity <= size);
        FUZZ_CHECK(!stale || function == 2 || address >= ReadingRegisterCount);
    }
    if (v.kind == TKind::Ignore) {
        FUZZ_CHECK(adu[6] != unitId && adu[6] != 0 && adu[6] != 255);
    }

    TInstrumentState state;
    state.hasReadings = (data[0] & 2) != 0;
    state.answering = (data[0] & 4) != 0;
    state.portOpen = (data[0] & 8) != 0;
    state.channelValid = {(data[0] & 16) != 0, (data[0] & 32) != 0};
    const TRegisters r = BuildRegisters(state, TClock::time_point{} + std::chrono::hours(1),
                                        std::chrono::milliseconds(3900));
    FUZZ_CHECK(r[5] < 16);
    FUZZ_CHECK((r[5] & (vbChannel1 | vbChannel2)) == 0); // an hour old: stale
    const TDiscreteInputs bits = BuildDiscreteInputs(r);
    for (int i = 0; i < DiscreteInputCount; ++i) {
        FUZZ_CHECK(bits[static_cast<std::size_t>(i)] == ((r[5] >> i) & 1U));
    }
    return 0;
}
