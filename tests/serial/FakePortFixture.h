// A port on the recording fake platform, with the main window's design
// settings of ComPort1 at hand.
#pragma once

#include "serial/core/ComPort.h"
#include "serial/errors/EComPort.h"
#include "serial/platform/fake/FakeComPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orbel;

inline void DesignComPort1(TCustomComPort& port) {
    port.SetBaudRate(br9600);
    port.SetPort("COM1");
    port.Parity().SetBits(prMark);
    port.SetStopBits(sbOneStopBit);
    port.SetDataBits(dbEight);
    port.SetEvents({});
    port.FlowControl().SetOutCTSFlow(false);
    port.FlowControl().SetOutDSRFlow(false);
    port.FlowControl().SetControlDTR(dtrDisable);
    port.FlowControl().SetControlRTS(rtsDisable);
    port.FlowControl().SetXonXoffOut(false);
    port.FlowControl().SetXonXoffIn(false);
    port.Timeouts().SetReadTotalMultiplier(7);
    port.Timeouts().SetWriteTotalMultiplier(200);
}

// The port code of the EComPort a call raises, or 0.
template <typename Call> int PortCodeOf(Call&& call) {
    try {
        call();
    } catch (const EComPort& e) {
        return e.PortCode();
    }
    return 0;
}

class FakePort : public ::testing::Test {
protected:
    // ComPort1 as the window creates it: design settings inside loading.
    void SetUp() override {
        port.BeginLoading();
        DesignComPort1(port);
        port.AfterLoad();
    }
    void OpenAndForget() {
        port.SetConnected(true);
        fake.ClearCalls();
    }

    TFakeComPlatform fake;
    TComPort port{nullptr, &fake};
};

inline const char* const ComPort1Record =
    "SetDeviceControl(1, BaudRate=9600 Flags=0x00000001 XonLim=256 XoffLim=256 ByteSize=8 "
    "Parity=3 StopBits=0 XonChar=17 XoffChar=19 ErrorChar=0 EofChar=0 EvtChar=0)";
