// The one operation behind every trigger: button, timer and hot key.
#pragma once

#include "platform/Failure.h"
#include "platform/Pointer.h"
#include "platform/Screen.h"

namespace Capture {

// Counts the capture, grabs the primary screen at the output size, shows the new count
// in the main window and saves the picture as a BMP file named after the count, the time
// and the pointer position in image pixels. Every failure is reported and the program
// goes on; the next capture succeeds once the cause is gone.
void MakeCapture();

// The pointer in screen pixels, relative to the top-left corner of the primary screen the
// capture found.
Platform::Result<Platform::PointerPosition> GetCursorPosition(
    const Platform::ScreenRect& primaryScreen);

}  // namespace Capture
