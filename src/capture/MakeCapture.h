// The one operation behind every trigger: button, timer and hot key.
#pragma once

namespace Capture {

// Counts the capture, grabs the primary screen at the output size, shows the new count
// in the main window and saves the picture as a BMP file named after the count, the time
// and the pointer position in image pixels (KestrelMain::MakeCapture on this desktop's
// seam, with AppState). Every failure is reported and the program goes on; the next
// capture succeeds once the cause is gone.
void MakeCapture();

}  // namespace Capture
