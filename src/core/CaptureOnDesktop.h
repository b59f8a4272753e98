// The capture procedures on the desktop this run started on: the program's main picks the
// backend once and hands its seam and hot key here; MakeCapture and NewCaptureDir work on it with
// AppState.
#pragma once

#include "core/CaptureSequence.h"
#include "platform/HotKey.h"

namespace KestrelMain {

// The seam and the hot key for the rest of the run; called once, before StartUp.
void UseDesktop(const CaptureSeam& seam, Platform::HotKey& hotKey);

// The seam and the hot key UseDesktop was given. Calling them before then is a
// programming error.
const CaptureSeam& Desktop();
Platform::HotKey& DesktopHotKey();

// The one operation behind every trigger: button, timer and hot key. Counts the capture,
// grabs the primary screen at the output size, shows the new count in the main window and
// saves the picture as a BMP file named after the count, the time and the pointer position
// in image pixels (MakeCapture on the desktop's seam, with AppState). Every failure is
// reported and the program goes on; the next capture succeeds once the cause is gone.
void MakeCapture();

}  // namespace KestrelMain
