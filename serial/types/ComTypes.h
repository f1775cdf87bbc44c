// The enumerations and sets that describe a serial line. Each enumeration is
// one byte, first value 0; a set stores value n as bit n.
#pragma once

#include <cstdint>
#include <initializer_list>

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
};
inline constexpr int BaudRateCount = 16;

// The speed in bits per second a fixed rate stands for; 0 for brCustom, whose
// speed is the port's CustomBaudRate.
constexpr std::uint32_t BaudRateSpeed(TBaudRate rate) {
    constexpr std::uint32_t speeds[BaudRateCount] = {0,     110,    300,    600,   1200,  2400,
                                                     4800,  9600,   14400,  19200, 38400, 56000,
                                                     57600, 115200, 128000, 256000};
    return rate < BaudRateCount ? speeds[rate] : 0;
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
