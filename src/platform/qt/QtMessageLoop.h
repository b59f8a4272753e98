// Kestrel's idle loop on Qt's event dispatch. Waiting blocks in the event dispatcher's poll
// (no timer of its own, no system call while nothing happens), and never while a hot-key
// press is still waiting to be taken.
#pragma once

#include "core/seam/HotKey.h"
#include "core/seam/MessageLoop.h"

namespace Platform::QtToolkit {

// The wait returns at once while the given hot key has a press waiting, whichever
// backend's the hot key is.
class QtMessageLoop final : public Seam::MessageLoop {
  public:
    explicit QtMessageLoop(Seam::HotKey& hotKey) : hotKey_(hotKey) {}

    void WaitMessage() override;
    void DoEvents() override;
    [[noreturn]] void EndProgramNow() override;

  private:
    Seam::HotKey& hotKey_;
};

}  // namespace Platform::QtToolkit
