// The pieces of Kestrel's idle loop. Waiting blocks in the event dispatcher's poll (no
// timer of its own, no system call while nothing happens), and never while a hot-key
// press is still waiting to be taken.
#pragma once

namespace Platform {

// Blocks until at least one event has arrived and been handled; returns at once when a
// hot-key press is pending.
void WaitMessage();

// Handles everything that is pending now, without blocking.
void DoEvents();

}  // namespace Platform
