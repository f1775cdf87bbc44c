#include "serial/core/ComTimeouts.h"

#include "serial/core/CustomComPort.h"

namespace orbel {

void TComTimeouts::Assign(const TComTimeouts& source) {
    readInterval_ = source.readInterval_;
    readTotalMultiplier_ = source.readTotalMultiplier_;
    readTotalConstant_ = source.readTotalConstant_;
    writeTotalMultiplier_ = source.writeTotalMultiplier_;
    writeTotalConstant_ = source.writeTotalConstant_;
}

void TComTimeouts::Store(std::int32_t& field, std::int32_t value) {
    if (field == value) {
        return;
    }
    field = value;
    if (owner_ != nullptr) {
        owner_->ApplyTimeoutSettings();
    }
}

} // namespace orbel
