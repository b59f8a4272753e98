// This desktop's backend, chosen once at start-up from the platform Qt runs on, and its
// seam handed to the core.
#pragma once

namespace App {

// On xcb: the X11 screen and grab. Anywhere else (Wayland, offscreen): a screen and grab
// that report they need an X11 session, so captures fail with that report and nothing
// crashes. Files and the clock are POSIX's, the view is the Qt main window. Needs the QApplication;
// call once, before KestrelMain::StartUp.
void UseDesktopBackend();

}  // namespace App
