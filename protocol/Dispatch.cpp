#include "protocol/Dispatch.h"

#include "protocol/EMUL_Functions.h"
#include "protocol/ReplyScan.h"

namespace orbel {

using namespace EMUL_Functions;

std::string PrepareRequest(TExchangeArea& area) {
    area.ExchangeStatus.store(esInProgress, std::memory_order_relaxed);
    CompleteRequestCrc(area.TxFrame);
    std::string sent = FrameText(area.TxFrame.data(), FrameLineLength(area.TxFrame));
    area.RxFrame.fill(0);
    return sent;
}

std::int32_t StartAndAwait(UART_THREAT& worker) {
    worker.WaitParked();
    worker.Wake();
    return WaitForExchangeStatus(worker.Area());
}

} // namespace orbel
