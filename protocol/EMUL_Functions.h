// The exchange area shared by a link's thread (the window thread) and its
// exchange worker, the frame checksum and the message-pumping wait.
//
// Hand-off: the link's thread writes TxFrame and ReplyDataLength, zeroes RxFrame
// and stores 0 into ExchangeStatus before it wakes the worker; the worker writes
// ExpectedCommand, RxFrame, RxText and the diagnostics below, and stores 1 or 2
// into ExchangeStatus last (release). The link's thread reads nothing else of
// the area until it has loaded a non-zero status (acquire).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace EMUL_Functions {

constexpr std::size_t FrameSize = 270;
using TFrame = std::array<std::uint8_t, FrameSize>;

// Marker value of ReplyDataLength: the reply's own length byte sets its size.
constexpr std::int32_t VariableReplyLength = 128;

enum TExchangeStatusValue : std::int32_t {
    esInProgress = 0,
    esNoReply = 1, // no acceptable reply
    esAccepted = 2,
};

// Why a transaction ended; written before ExchangeStatus is published.
enum class TExchangeOutcome : std::uint8_t {
    None,        // no transaction has ended yet
    Accepted,    // status 2
    NoReply,     // no reply start among the first bytes
    BadCrc,      // a frame was found but its checksum does not match
    PortNotOpen, // the port was closed: nothing was sent
    PortError,   // the system refused a read, write or purge
    DeviceLost,  // the device hung up or vanished during the transaction
};

// The exchange area of one link: the request, the reply and what the last
// transaction came to. Each link (and its worker) has one; two links in one
// process run side by side, each on its own.
struct TExchangeArea {
    TFrame TxFrame{};
    TFrame RxFrame{};
    std::uint32_t ExpectedCommand = 0;
    std::int32_t ReplyDataLength = 0;
    std::atomic<std::int32_t> ExchangeStatus{0};
    std::string RxText;

    // Diagnostics of the last transaction (for the window and the exchange trace).
    TExchangeOutcome ExchangeOutcome = TExchangeOutcome::None;
    std::int32_t OutcomePortCode = 0;    // EComPort code of a port error, else 0
    std::int32_t OutcomeSystemCode = -1; // its system code, else -1
    TFrame RxRaw{};                      // every byte the reply read delivered
    std::int32_t RxRawCount = 0;         // how many of them
    std::int32_t PreReadCount = 0;       // 1 when the system-bus pre-read took a byte
    std::uint8_t PreReadByte = 0;        // that byte
    std::int32_t LateByteCount = 0;      // bytes discarded before the request: late replies
};

// The process's own area: the one the inherited names below stand for. A
// worker given no other area uses it, and so does the first link while no
// other link holds it (the window's).
TExchangeArea& SharedArea();

extern TFrame& TxFrame;
extern TFrame& RxFrame;
extern std::uint32_t& ExpectedCommand;
extern std::int32_t& ReplyDataLength;
extern std::atomic<std::int32_t>& ExchangeStatus;
extern std::string& RxText;
extern TExchangeOutcome& ExchangeOutcome;
extern std::int32_t& OutcomePortCode;
extern std::int32_t& OutcomeSystemCode;
extern TFrame& RxRaw;
extern std::int32_t& RxRawCount;
extern std::int32_t& PreReadCount;
extern std::uint8_t& PreReadByte;
extern std::int32_t& LateByteCount;
// LateByteCount when the port could not count them and the input was purged unseen.
inline constexpr std::int32_t LateBytesUncounted = -1;

// CRC-16/MODBUS over the first `count` bytes of `frame`.
std::uint16_t CRC16(std::uint8_t count, const std::uint8_t* frame);
inline std::uint16_t CRC16(std::uint8_t count, const TFrame& frame) {
    return CRC16(count, frame.data());
}

// Decimal dump: each byte in decimal followed by one blank ("1 250 2 ").
std::string FrameText(const std::uint8_t* bytes, std::size_t count);

// Waits until the millisecond tick counter has advanced by more than
// max(ms, 2) ms, handling the queued window messages on every pass when called
// on the application's thread.
void Delay(std::int32_t ms);

// The 32-bit wrapping millisecond tick counter Delay reads. Tests may replace
// it; nullptr restores the monotonic system counter.
using TTickCounter = std::uint32_t (*)();
void SetTickCounter(TTickCounter counter);
std::uint32_t GetTickCount();

} // namespace EMUL_Functions
