// The pieces of Kestrel's idle loop. Waiting blocks in the event dispatcher's poll (no
// timer of its own, no system call while nothing happens), and never while a hot-key
// press is still waiting to be taken.
#pragma once

#include "platform/Events.h"
#include "platform/HotKey.h"

namespace Platform {

// Blocks until at least one event has arrived and been handled; returns at once when
// pressPending says a hot-key press is waiting. The hot key is the backend's, so the loop
// is handed its test rather than knowing the backend.
void WaitMessage(bool (*pressPending)());

// Handles everything that is pending now, without blocking.
void DoEvents();

// The core's message loop (platform/Events.h) on Qt's event dispatch. Its wait returns at
// once while the given hot key has a press waiting, whichever backend's the hot key is.
class QtMessageLoop final : public MessageLoop {
  public:
    explicit QtMessageLoop(HotKey& hotKey) : hotKey_(hotKey) {}

    void WaitMessage() override;
    void DoEvents() override;
    [[noreturn]] void EndProgramNow() override;

  private:
    HotKey& hotKey_;
};

}  // namespace Platform
