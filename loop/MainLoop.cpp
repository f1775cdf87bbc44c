#include "loop/MainLoop.h"

#include "loop/PlainMainLoop.h"

#include <atomic>

namespace orbel {

namespace {

// Made during static initialisation, on the thread that starts the program.
TPlainMainLoop plainLoop;
std::atomic<IMainLoop*> installed{nullptr};

} // namespace

IMainLoop& MainLoop() {
    IMainLoop* const loop = installed.load(std::memory_order_acquire);
    return loop != nullptr ? *loop : plainLoop;
}

void SetMainLoop(IMainLoop* loop) {
    installed.store(loop, std::memory_order_release);
}

} // namespace orbel
