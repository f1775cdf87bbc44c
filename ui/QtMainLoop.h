// The main loop of a program with a window: posted calls go through the
// toolkit's event queue, and a pass over the queue is the toolkit's own pass
// over the window's messages.
#pragma once

#include "loop/MainLoop.h"

namespace orbel {

class TQtMainLoop final : public IMainLoop {
public:
    void Post(std::function<void()> call) override;
    bool OnMainThread() const override;
    void ProcessPending() override;
};

// Makes the toolkit's loop the loop of the process (once the application
// object exists); it stays installed until the process ends.
void InstallQtMainLoop();

} // namespace orbel
