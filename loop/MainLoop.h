// The main thread's message loop, as the serial component and the protocol
// need it: a call posted from any thread to run on the main thread (the
// posting wakes that thread), and the one pass over what is queued that a
// wait on the main thread makes. A window supplies its toolkit's loop; a
// program without a window, or a test, drains a plain one.
#pragma once

#include <functional>

namespace orbel {

class IMainLoop {
public:
    virtual ~IMainLoop() = default;

    // Any thread: queues `call` to run on the main thread and wakes it. The
    // calls run in the order posted, each once.
    virtual void Post(std::function<void()> call) = 0;
    // True on the thread the loop serves.
    virtual bool OnMainThread() const = 0;
    // Main thread: runs what is queued (a window's loop also handles its own
    // queued messages); returns at once when nothing is.
    virtual void ProcessPending() = 0;
};

// The loop of this process: the one installed, else a plain loop served by
// the thread that started the program.
IMainLoop& MainLoop();
// Installs `loop` (nullptr restores the plain one). Install it before any
// port opens; the loop must outlive every port.
void SetMainLoop(IMainLoop* loop);

} // namespace orbel
