// What the gateway publishes, made from the instrument's state: JSON objects
// with the keys `orbel-cli --json` prints for the same answers. Pure.
#pragma once

#include "poll/InstrumentState.h"

#include <chrono>
#include <string>

namespace orbel::gateway {

// {"time":"...Z","status":N,"channel1":{"level":L,"volume":V}|null,"channel2":...,
//  "age":S}: the readings, the UTC time they came (`wallNow` less their age)
// and their age in seconds at `now`.
std::string ReadingsPayload(const TInstrumentState& state, TClock::time_point now,
                            std::chrono::system_clock::time_point wallNow);

// {"address":A,"type":T,"serial":S,"hard":H,"soft":V}
std::string IdentityPayload(const TInstrumentState& state);

// {"channel1":{"c1":X,"c2":Y},"channel2":{...}}
std::string CoefficientsPayload(const TInstrumentState& state);

// {"state":"answering"|"not answering"|"lost","reason":"..."|null}
std::string LinePayload(const TInstrumentState& state);

} // namespace orbel::gateway
