// The scaled grab: a rectangle of the screen reduced (or enlarged) in one step into a
// picture of the output size, at the screen's depth and with its palette on palette
// screens.
#pragma once

#include "core/Failure.h"
#include "core/Picture.h"
#include "core/seam/Screen.h"

#include <optional>
#include <string>

namespace Seam {

class ScreenGrab {
  public:
    // Sets up the screen source, once, at start-up. Where the desktop sets it up
    // asynchronously (a session granted after a dialog, a stream negotiated), this returns
    // at once and the source becomes ready later, in the event dispatch. A failure means it
    // never will; grabs then fail with their own reason.
    virtual KestrelMain::Status Start() = 0;

    // Nothing while grabs can be made; otherwise why not yet ("the desktop has not yet
    // granted the screen"), for the capture to report without waiting.
    virtual std::optional<std::string> NotReadyBecause() = 0;

    // True once the desktop refused to let Kestrel read the screen (a request denied, a
    // chooser cancelled). The grab that met the refusal reported it; captures from then on
    // are skipped without asking the desktop again, which a timer would otherwise do every
    // period, until AskAgain.
    virtual bool Refused() { return false; }

    // The user asked for a capture with the button: a refused source asks the desktop once
    // more. True where it asked and the answer comes later (a chooser is up): that click's
    // capture is then not made, and not reported as not ready either, as the desktop's own
    // question is what the user sees. False where the capture itself asks, or nothing was
    // refused.
    virtual bool AskAgain() { return false; }

    virtual KestrelMain::Result<KestrelMain::Picture> GrabScaled(const ScreenRect& area,
                                                                 int outputWidth,
                                                                 int outputHeight) = 0;

  protected:
    ~ScreenGrab() = default;
};

}  // namespace Seam
