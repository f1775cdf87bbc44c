#include "serial/core/ComFlowControl.h"

#include "serial/core/CustomComPort.h"

namespace orbel {

void TComFlowControl::Assign(const TComFlowControl& source) {
    outCTSFlow_ = source.outCTSFlow_;
    outDSRFlow_ = source.outDSRFlow_;
    controlDTR_ = source.controlDTR_;
    controlRTS_ = source.controlRTS_;
    xonXoffOut_ = source.xonXoffOut_;
    xonXoffIn_ = source.xonXoffIn_;
    dsrSensitivity_ = source.dsrSensitivity_;
    txContinueOnXoff_ = source.txContinueOnXoff_;
    xonChar_ = source.xonChar_;
    xoffChar_ = source.xoffChar_;
}

TFlowControl TComFlowControl::FlowControl() const {
    const bool xonXoff = xonXoffIn_ || xonXoffOut_;
    if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xonXoff) {
        return fcHardware;
    }
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_) {
        return fcSoftware;
    }
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && !xonXoff) {
        return fcNone;
    }
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl value) {
    if (value != fcCustom) {
        controlRTS_ = rtsDisable;
        outCTSFlow_ = false;
        xonXoffIn_ = false;
        xonXoffOut_ = false;
        if (value == fcHardware) {
            controlRTS_ = rtsHandshake;
            outCTSFlow_ = true;
        } else if (value == fcSoftware) {
            xonXoffIn_ = true;
            xonXoffOut_ = true;
        }
    }
    Changed();
}

void TComFlowControl::Changed() {
    if (owner_ != nullptr) {
        owner_->ApplyLineSettings();
    }
}

} // namespace orbel
