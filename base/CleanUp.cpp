#include "base/CleanUp.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orbel {

namespace {

std::mutex mutex;
std::condition_variable said;
bool cleanedUp = false;

} // namespace

void SayCleanedUp() {
    {
        std::lock_guard lock(mutex);
        cleanedUp = true;
    }
    said.notify_all();
}

bool WaitForCleanUp(unsigned ms) {
    std::unique_lock lock(mutex);
    return said.wait_for(lock, std::chrono::milliseconds(ms), [] { return cleanedUp; });
}

} // namespace orbel
