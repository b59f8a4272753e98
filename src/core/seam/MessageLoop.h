// The message loop as the core drives it: a blocking wait for the next event, a dispatch of
// everything pending, and the end of the program from inside a handler.
#pragma once

namespace Seam {

class MessageLoop {
  public:
    // Blocks until something has arrived; returns at once while a hot-key press waits to be
    // taken. Idle, it costs no processor time.
    virtual void WaitMessage() = 0;

    // Runs the handlers of everything pending now (clicks, timer ticks, dialog events), each
    // to completion, without blocking.
    virtual void DoEvents() = 0;

    // Ends the program at once: no further handler, event or pass of the loop runs, and open
    // windows go with it. Only what is already safe is kept.
    [[noreturn]] virtual void EndProgramNow() = 0;

  protected:
    ~MessageLoop() = default;
};

}  // namespace Seam
