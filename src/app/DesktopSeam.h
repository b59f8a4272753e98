// This desktop's backend, chosen once at start-up from the platform Qt runs on, and its
// seam handed to the core.
#pragma once

namespace App {

// On xcb: the X11 screen, grab and hot key. Anywhere else (Wayland, offscreen): ones that
// report they need an X11 session, so Ctrl+F and captures fail with that report and
// nothing crashes. Files and the clock are POSIX's, the loop is Qt's, the view is the Qt
// main window. All are installed (platform/Services.h) beside the settings store and error
// report already there. Needs the QApplication; call once, before KestrelMain::StartUp.
void UseDesktopBackend();

}  // namespace App
