// Parity settings of a port; part of its line settings.
#pragma once

#include "serial/types/ComTypes.h"

#include <cstdint>

namespace orbel {

class TCustomComPort;

class TComParity {
public:
    explicit TComParity(TCustomComPort* owner = nullptr) : owner_(owner) {}
    TComParity(const TComParity&) = delete;
    TComParity& operator=(const TComParity&) = delete;

    // Copies every setting, not the owner, without re-applying.
    void Assign(const TComParity& source);
    TCustomComPort* ComPort() const { return owner_; }

    TParityBits Bits() const { return bits_; }
    bool Check() const { return check_; }
    bool Replace() const { return replace_; }
    std::uint8_t ReplaceChar() const { return replaceChar_; }

    void SetBits(TParityBits value) { Store(bits_, value); }
    void SetCheck(bool value) { Store(check_, value); }
    void SetReplace(bool value) { Store(replace_, value); }
    void SetReplaceChar(std::uint8_t value) { Store(replaceChar_, value); }

private:
    template <typename T> void Store(T& field, T value) {
        if (field != value) {
            field = value;
            Changed();
        }
    }
    void Changed();

    TCustomComPort* const owner_;
    TParityBits bits_ = prNone;
    bool check_ = false;
    bool replace_ = false;
    std::uint8_t replaceChar_ = 0;
};

} // namespace orbel
