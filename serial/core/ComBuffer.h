// Recommended sizes of the driver's queues. A positive odd size is stored one
// lower. InputSize also sets the XON/XOFF limits of the line settings, but a
// change re-applies only the queue sizes.
#pragma once

#include <cstdint>

namespace orbel {

class TCustomComPort;

class TComBuffer {
public:
    explicit TComBuffer(TCustomComPort* owner = nullptr) : owner_(owner) {}
    TComBuffer(const TComBuffer&) = delete;
    TComBuffer& operator=(const TComBuffer&) = delete;

    // Copies every setting, not the owner, without re-applying.
    void Assign(const TComBuffer& source);
    TCustomComPort* ComPort() const { return owner_; }

    std::int32_t InputSize() const { return inputSize_; }
    std::int32_t OutputSize() const { return outputSize_; }
    void SetInputSize(std::int32_t value) { Store(inputSize_, value); }
    void SetOutputSize(std::int32_t value) { Store(outputSize_, value); }

private:
    void Store(std::int32_t& field, std::int32_t value);

    TCustomComPort* const owner_;
    std::int32_t inputSize_ = 1024;
    std::int32_t outputSize_ = 1024;
};

} // namespace orbel
