// The seam of this desktop, as the program's procedures hand it to the core: the X11
// screen and grab, POSIX files and clock, and the Qt main window.
#pragma once

#include "core/CaptureSequence.h"

namespace Capture {

// The local clock alone, for a name made without the rest of the seam.
Platform::Clock& DesktopClock();

// Refers to the main window, which creates it (unshown) on the first call.
KestrelMain::CaptureSeam DesktopSeam();

}  // namespace Capture
