// Waiting until an atomic word changes, waking its waiters, and a counting
// semaphore made of the two, alike on every system the tool is built for.
//
// On Linux these are the standard library's own (a futex). mingw-w64's
// libstdc++ 12 has no such wait on Windows: it falls back to a condition
// variable whose notify does not take the lock the wait checks the word
// under, so a wake-up can be lost and a waiter sleep for ever. There the
// system's WaitOnAddress and WakeByAddressAll do the work instead.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace orbel {

namespace AtomicWaitSystem {
// Returns when *address may no longer equal *old (spurious returns allowed).
void WaitOnAddress(const void* address, const void* old, std::size_t size);
void WakeAll(const void* address);
} // namespace AtomicWaitSystem

// Blocks while `word` holds `old`, as std::atomic<T>::wait.
template <class T>
void AtomicWait(const std::atomic<T>& word, T old,
                std::memory_order order = std::memory_order_seq_cst) {
#ifdef _WIN32
    static_assert(std::atomic<T>::is_always_lock_free && sizeof(std::atomic<T>) == sizeof(T));
    while (word.load(order) == old) {
        AtomicWaitSystem::WaitOnAddress(&word, &old, sizeof(T));
    }
#else
    word.wait(old, order);
#endif
}

// Wakes every thread in AtomicWait on `word`, as std::atomic<T>::notify_all.
template <class T> void AtomicNotifyAll(std::atomic<T>& word) {
#ifdef _WIN32
    AtomicWaitSystem::WakeAll(&word);
#else
    word.notify_all();
#endif
}

// A counting semaphore on AtomicWait: Release adds one, Acquire waits for one
// and takes it.
class TSemaphore {
public:
    void Release() {
        count_.fetch_add(1, std::memory_order_release);
        AtomicNotifyAll(count_);
    }

    void Acquire() {
        for (;;) {
            std::int32_t n = count_.load(std::memory_order_acquire);
            if (n > 0) {
                if (count_.compare_exchange_weak(n, n - 1, std::memory_order_acquire)) {
                    return;
                }
                continue;
            }
            AtomicWait(count_, 0, std::memory_order_acquire);
        }
    }

private:
    std::atomic<std::int32_t> count_{0};
};

} // namespace orbel
