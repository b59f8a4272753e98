// The Linux program's composition root: which backends run, chosen once at start-up, and
// everything installed behind the seam (core/seam/Services.h) for the core. A library of
// its own, so the in-process tests start Kestrel on the very same services.
#pragma once

#include <string>

namespace App {

// The session as start-up sees it.
struct Session {
    bool Wayland = false;    // WAYLAND_DISPLAY set, or XDG_SESSION_TYPE "wayland"
    std::string QtPlatform;  // the platform Qt's windows run on: "xcb", "wayland", ...
    bool X11Built = false;   // this build has the X11 backend
    bool WaylandBuilt = false;
};

// Which screen backend serves the session: "wayland" or "x11", or empty with why none does.
// Qt's platform alone does not decide: in a Wayland session Qt may run through XWayland,
// where an X11 client sees only XWayland's windows, never the whole screen.
struct BackendChoice {
    std::string Backend;
    std::string WhyNone;
};
BackendChoice ChooseScreenBackend(const Session& session);

// This process's session: its environment and the running QGuiApplication.
Session CurrentSession();

// Installs the QSettings store, the error report, the web page, POSIX files and clock, Qt's
// message loop, the Qt main window, and the chosen screen backend, and offers the capture
// action on the session bus. Needs the QApplication; call once, before
// KestrelMain::StartUp.
void InstallLinuxServices();

// SIGTERM, SIGINT and SIGHUP end the program from its event loop, as Quit does. Kept apart
// from the services so that a test process that installs those still dies of its signals.
void EndOnSignals();

}  // namespace App
