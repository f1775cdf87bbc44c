// The time-out settings of a port (milliseconds). A change re-applies the
// time-outs of the owning port when it is open.
#pragma once

#include <cstdint>

namespace orbel {

class TCustomComPort;

class TComTimeouts {
public:
    // A settings object without owner only holds values (to be assigned to a port).
    explicit TComTimeouts(TCustomComPort* owner = nullptr) : owner_(owner) {}
    TComTimeouts(const TComTimeouts&) = delete;
    TComTimeouts& operator=(const TComTimeouts&) = delete;

    // Copies every setting, not the owner, without re-applying.
    void Assign(const TComTimeouts& source);
    TCustomComPort* ComPort() const { return owner_; }

    std::int32_t ReadInterval() const { return readInterval_; }
    std::int32_t ReadTotalMultiplier() const { return readTotalMultiplier_; }
    std::int32_t ReadTotalConstant() const { return readTotalConstant_; }
    std::int32_t WriteTotalMultiplier() const { return writeTotalMultiplier_; }
    std::int32_t WriteTotalConstant() const { return writeTotalConstant_; }

    void SetReadInterval(std::int32_t value) { Store(readInterval_, value); }
    void SetReadTotalMultiplier(std::int32_t value) { Store(readTotalMultiplier_, value); }
    void SetReadTotalConstant(std::int32_t value) { Store(readTotalConstant_, value); }
    void SetWriteTotalMultiplier(std::int32_t value) { Store(writeTotalMultiplier_, value); }
    void SetWriteTotalConstant(std::int32_t value) { Store(writeTotalConstant_, value); }

private:
    void Store(std::int32_t& field, std::int32_t value);

    TCustomComPort* const owner_;
    std::int32_t readInterval_ = -1;
    std::int32_t readTotalMultiplier_ = 0;
    std::int32_t readTotalConstant_ = 0;
    std::int32_t writeTotalMultiplier_ = 100;
    std::int32_t writeTotalConstant_ = 1000;
};

} // namespace orbel
