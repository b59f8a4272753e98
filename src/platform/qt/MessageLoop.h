// The pieces of Kestrel's idle loop. Waiting blocks in the event dispatcher's poll (no
// timer of its own, no system call while nothing happens), and never while a hot-key
// press is still waiting to be taken.
#pragma once

namespace Platform {

// Blocks until at least one event has arrived and been handled; returns at once when
// pressPending says a hot-key press is waiting. The hot key is the backend's, so the loop
// is handed its test rather than knowing the backend.
void WaitMessage(bool (*pressPending)());

// Handles everything that is pending now, without blocking.
void DoEvents();

}  // namespace Platform
