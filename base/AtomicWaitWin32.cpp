#include "base/AtomicWait.h"

#include <windows.h>

namespace orbel {

namespace AtomicWaitSystem {

void WaitOnAddress(const void* address, const void* old, std::size_t size) {
    ::WaitOnAddress(const_cast<void*>(address), const_cast<void*>(old), size, INFINITE);
}

void WakeAll(const void* address) {
    ::WakeByAddressAll(const_cast<void*>(address));
}

} // namespace AtomicWaitSystem

} // namespace orbel
