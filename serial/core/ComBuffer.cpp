#include "serial/core/ComBuffer.h"

#include "serial/core/CustomComPort.h"

namespace orbel {

void TComBuffer::Assign(const TComBuffer& source) {
    inputSize_ = source.inputSize_;
    outputSize_ = source.outputSize_;
}

void TComBuffer::Store(std::int32_t& field, std::int32_t value) {
    if (field == value) {
        return;
    }
    field = value > 0 && value % 2 == 1 ? value - 1 : value;
    if (owner_ != nullptr) {
        owner_->ApplyQueueSizes();
    }
}

} // namespace orbel
