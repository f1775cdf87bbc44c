#include "protocol/InstrumentPort.h"

namespace orbel {

void ConfigureInstrumentLine(TCustomComPort& port) {
    port.SetBaudRate(br9600);
    port.Parity().SetBits(prMark);
    port.SetStopBits(sbOneStopBit);
    port.SetDataBits(dbEight);
    port.SetEvents(TComEvents{});
    TComFlowControl& flow = port.FlowControl();
    flow.SetOutCTSFlow(false);
    flow.SetOutDSRFlow(false);
    flow.SetControlDTR(dtrDisable);
    flow.SetControlRTS(rtsDisable);
    flow.SetXonXoffOut(false);
    flow.SetXonXoffIn(false);
    port.Timeouts().SetReadTotalMultiplier(InstrumentReadMsPerByte);
    port.Timeouts().SetWriteTotalMultiplier(200);
}

} // namespace orbel
