#include "protocol/Dispatch.h"

#include "protocol/EMUL_Functions.h"
#include "protocol/ReplyScan.h"

namespace orbel {

using namespace EMUL_Functions;

std::string PrepareRequest() {
    ExchangeStatus.store(esInProgress, std::memory_order_relaxed);
    CompleteRequestCrc(TxFrame);
    std::string sent = FrameText(TxFrame.data(), FrameLineLength(TxFrame));
    RxFrame.fill(0);
    return sent;
}

std::int32_t StartAndAwait(UART_THREAT& worker) {
    worker.WaitParked();
    worker.Wake();
    return WaitForExchangeStatus();
}

} // namespace orbel
