// The enumerations and sets that describe a serial line. Each enumeration is
// one byte, first value 0; a set stores value n as bit n.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace orbel {

enum TBaudRate : std::uint8_t {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
    brLastRate = br256000, // a new rate goes before this line and into BaudRates
};

// Every rate once, in the enumeration's order: the speed in bits per second it
// stands for (0 for brCustom, whose speed is the port's CustomBaudRate) and
// its text in the settings file.
struct TBaudRateRow {
    TBaudRate rate;
    std::uint32_t speed;
    const char* text;
};
inline constexpr std::array<TBaudRateRow, brLastRate + 1> BaudRates = {{
    {brCustom, 0, "Custom"},
    {br110, 110, "110"},
    {br300, 300, "300"},
    {br600, 600, "600"},
    {br1200, 1200, "1200"},
    {br2400, 2400, "2400"},
    {br4800, 4800, "4800"},
    {br9600, 9600, "9600"},
    {br14400, 14400, "14400"},
    {br19200, 19200, "19200"},
    {br38400, 38400, "38400"},
    {br56000, 56000, "56000"},
    {br57600, 57600, "57600"},
    {br115200, 115200, "115200"},
    {br128000, 128000, "128000"},
    {br256000, 256000, "256000"},
}};
inline constexpr int BaudRateCount = static_cast<int>(BaudRates.size());

// True when row i of `rows` is the value i, for every row.
template <typename Row, std::size_t N>
constexpr bool RowsFollowEnumeration(const std::array<Row, N>& rows) {
    for (std::size_t i = 0; i < N; ++i) {
        if (static_cast<std::size_t>(rows[i].rate) != i || rows[i].text == nullptr) {
            return false;
        }
    }
    return true;
}
static_assert(RowsFollowEnumeration(BaudRates), "BaudRates: one row per rate, in order");

// The speed a fixed rate stands for; 0 for brCustom.
constexpr std::uint32_t BaudRateSpeed(TBaudRate rate) {
    return rate < BaudRateCount ? BaudRates[rate].speed : 0;
}

enum TStopBits : std::uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits : std::uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits : std::uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl : std::uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
enum TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };

enum TComEvent : std::uint8_t {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full,
};

enum TComSignal : std::uint8_t { sgCTS, sgDSR, sgRing, sgRLSD };

enum TComError : std::uint8_t {
    erFrame,
    erRxParity,
    erOverrun,
    erBreak,
    erIO,
    erMode,
    erRxOver,
    erTxFull,
};

// A set of enumeration values held in the bits of `Bits`.
template <typename Enum, typename Bits> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<Enum> values) {
        for (const Enum value : values) {
            Include(value);
        }
    }
    static constexpr TEnumSet FromBits(Bits bits) {
        TEnumSet set;
        set.bits_ = bits;
        return set;
    }

    constexpr bool Contains(Enum value) const { return (bits_ & Bit(value)) != 0; }
    constexpr void Include(Enum value) { bits_ = static_cast<Bits>(bits_ | Bit(value)); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr Bits ToBits() const { return bits_; }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    static constexpr Bits Bit(Enum value) { return static_cast<Bits>(1u << value); }
    Bits bits_ = 0;
};

// The groups of settings the settings storage writes and reads.
enum TStoredSetting : std::uint8_t {
    ssBasic,
    ssFlowControl,
    ssBuffer,
    ssTimeouts,
    ssParity,
    ssOthers
};

using TComEvents = TEnumSet<TComEvent, std::uint16_t>;
using TComLineSignals = TEnumSet<TComSignal, std::uint8_t>;
using TComErrors = TEnumSet<TComError, std::uint8_t>;
using TStoredSettings = TEnumSet<TStoredSetting, std::uint8_t>;

inline constexpr TComEvents AllComEvents = TComEvents::FromBits(0x03FF);

} // namespace orbel
