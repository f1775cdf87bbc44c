// Flow-control settings of a port; part of its line settings. FlowControl()
// reads the fields as one of the presets, SetFlowControl() writes a preset.
#pragma once

#include "serial/types/ComTypes.h"

#include <cstdint>

namespace orbel {

class TCustomComPort;

class TComFlowControl {
public:
    explicit TComFlowControl(TCustomComPort* owner = nullptr) : owner_(owner) {}
    TComFlowControl(const TComFlowControl&) = delete;
    TComFlowControl& operator=(const TComFlowControl&) = delete;

    // Copies every setting, not the owner, without re-applying.
    void Assign(const TComFlowControl& source);
    TCustomComPort* ComPort() const { return owner_; }

    bool OutCTSFlow() const { return outCTSFlow_; }
    bool OutDSRFlow() const { return outDSRFlow_; }
    TDTRFlowControl ControlDTR() const { return controlDTR_; }
    TRTSFlowControl ControlRTS() const { return controlRTS_; }
    bool XonXoffOut() const { return xonXoffOut_; }
    bool XonXoffIn() const { return xonXoffIn_; }
    bool DSRSensitivity() const { return dsrSensitivity_; }
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    std::uint8_t XonChar() const { return xonChar_; }
    std::uint8_t XoffChar() const { return xoffChar_; }

    void SetOutCTSFlow(bool value) { Store(outCTSFlow_, value); }
    void SetOutDSRFlow(bool value) { Store(outDSRFlow_, value); }
    void SetControlDTR(TDTRFlowControl value) { Store(controlDTR_, value); }
    void SetControlRTS(TRTSFlowControl value) { Store(controlRTS_, value); }
    void SetXonXoffOut(bool value) { Store(xonXoffOut_, value); }
    void SetXonXoffIn(bool value) { Store(xonXoffIn_, value); }
    void SetDSRSensitivity(bool value) { Store(dsrSensitivity_, value); }
    void SetTxContinueOnXoff(bool value) { Store(txContinueOnXoff_, value); }
    void SetXonChar(std::uint8_t value) { Store(xonChar_, value); }
    void SetXoffChar(std::uint8_t value) { Store(xoffChar_, value); }

    // The preset the RTS, CTS and XON/XOFF fields amount to.
    TFlowControl FlowControl() const;
    // Sets the fields of a preset (fcCustom changes none), then re-applies the
    // line settings in every case.
    void SetFlowControl(TFlowControl value);

private:
    template <typename T> void Store(T& field, T value) {
        if (field != value) {
            field = value;
            Changed();
        }
    }
    void Changed();

    TCustomComPort* const owner_;
    bool outCTSFlow_ = false;
    bool outDSRFlow_ = false;
    TDTRFlowControl controlDTR_ = dtrDisable;
    TRTSFlowControl controlRTS_ = rtsDisable;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
    std::uint8_t xonChar_ = 17;
    std::uint8_t xoffChar_ = 19;
};

} // namespace orbel
