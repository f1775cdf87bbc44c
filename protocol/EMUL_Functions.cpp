#include "protocol/EMUL_Functions.h"

#include "base/Text.h"
#include "loop/MainLoop.h"

#include <chrono>
#include <thread>

using namespace orbel;

namespace EMUL_Functions {

namespace {

TExchangeArea sharedArea;

} // namespace

TExchangeArea& SharedArea() {
    return sharedArea;
}

// Bound before any code runs: each names a member of the process's area.
TFrame& TxFrame = sharedArea.TxFrame;
TFrame& RxFrame = sharedArea.RxFrame;
std::uint32_t& ExpectedCommand = sharedArea.ExpectedCommand;
std::int32_t& ReplyDataLength = sharedArea.ReplyDataLength;
std::atomic<std::int32_t>& ExchangeStatus = sharedArea.ExchangeStatus;
std::string& RxText = sharedArea.RxText;
TExchangeOutcome& ExchangeOutcome = sharedArea.ExchangeOutcome;
std::int32_t& OutcomePortCode = sharedArea.OutcomePortCode;
std::int32_t& OutcomeSystemCode = sharedArea.OutcomeSystemCode;
TFrame& RxRaw = sharedArea.RxRaw;
std::int32_t& RxRawCount = sharedArea.RxRawCount;
std::int32_t& PreReadCount = sharedArea.PreReadCount;
std::uint8_t& PreReadByte = sharedArea.PreReadByte;
std::int32_t& LateByteCount = sharedArea.LateByteCount;

std::uint16_t CRC16(std::uint8_t count, const std::uint8_t* frame) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= frame[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1U) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001U)
                                  : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

std::string FrameText(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    text.reserve(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        text += DecimalText(bytes[i]);
        text.push_back(' ');
    }
    return text;
}

namespace {

std::uint32_t SystemTicks() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

std::atomic<TTickCounter> tickCounter{nullptr};

void HandleQueuedMessages() {
    IMainLoop& loop = MainLoop();
    if (loop.OnMainThread()) {
        loop.ProcessPending();
    }
}

} // namespace

void SetTickCounter(TTickCounter counter) {
    tickCounter.store(counter);
}

std::uint32_t GetTickCount() {
    TTickCounter counter = tickCounter.load();
    return counter != nullptr ? counter() : SystemTicks();
}

void Delay(std::int32_t ms) {
    const std::uint32_t d = ms > 1 ? static_cast<std::uint32_t>(ms) : 2U;
    const std::uint32_t start = GetTickCount();
    for (;;) {
        HandleQueuedMessages();
        const std::uint32_t now = GetTickCount();
        if (static_cast<std::uint32_t>(now - start) > d) {
            return;
        }
        // A short nap keeps a core free; it never waits for new events.
        std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
}

} // namespace EMUL_Functions
