#include "serial/core/ComParity.h"

#include "serial/core/CustomComPort.h"

namespace orbel {

void TComParity::Assign(const TComParity& source) {
    bits_ = source.bits_;
    check_ = source.check_;
    replace_ = source.replace_;
    replaceChar_ = source.replaceChar_;
}

void TComParity::Changed() {
    if (owner_ != nullptr) {
        owner_->ApplyLineSettings();
    }
}

} // namespace orbel
