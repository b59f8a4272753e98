// The seam of this desktop: the X11 screen, grab and hot key, POSIX files and clock, Qt's
// message loop and the Qt main window.
#pragma once

namespace Capture {

// Installs them (platform/Services.h) next to the settings store and error report already
// installed; they live as long as the program. The main window is created (unshown) by the
// core's first use of it, not here.
void InstallDesktopSeam();

}  // namespace Capture
