// The one operation behind every trigger: button, timer and hot key.
#pragma once

namespace Capture {

// KestrelMain::MakeCapture() (core/CaptureSequence.h) on the installed seam, with AppState:
// counts, grabs, shows the count and saves. Every failure is reported and the program goes
// on; the next capture succeeds once the cause is gone.
void MakeCapture();

}  // namespace Capture
