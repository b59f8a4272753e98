// The Linux program's composition root: which backends run, chosen once at start-up, and
// everything installed behind the seam (core/seam/Services.h) for the core. A library of
// its own, so the in-process tests start Kestrel on the very same services.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace App {

// The session as start-up sees it.
struct Session {
    bool Wayland = false;    // WAYLAND_DISPLAY set, or XDG_SESSION_TYPE "wayland"
    std::string QtPlatform;  // the platform Qt's windows run on: "xcb", "wayland", ...
    bool X11Built = false;   // this build has the X11 backend
    bool WaylandBuilt = false;
};

// Which screen backend serves the session, or none with why not. Qt's platform alone does
// not decide: in a Wayland session Qt may run through XWayland, where an X11 client sees
// only XWayland's windows, never the whole screen.
enum class ScreenBackend { None, X11, Wayland };
struct BackendChoice {
    ScreenBackend Backend = ScreenBackend::None;
    std::string WhyNone;
};
BackendChoice ChooseScreenBackend(const Session& session);

// One way to the screen in a Wayland session: its name, as KESTREL_SCREEN_SOURCE takes it and
// standard error says it; why it cannot serve on this desktop (nothing where it can); and
// what makes it the session's screen and grab.
struct ScreenSource {
    std::string_view Name;
    std::function<std::optional<std::string>()> WhyNot;
    std::function<void()> Make;
};

// The source chosen once at start-up from `sources`, listed in the order Kestrel prefers them:
// the one `requested` names where it works here, else the first that works; empty with why
// none does. Their WhyNot is asked in order, no further than needed. Notes say what became
// of the request.
struct SourceChoice {
    std::string Source;
    std::string WhyNone;
    std::vector<std::string> Notes;
};
SourceChoice ChooseScreenSource(std::span<const ScreenSource> sources, std::string_view requested);

// This process's session: its environment and the running QGuiApplication.
Session CurrentSession();

// Installs the QSettings store, the error report, the web page, POSIX files and clock, Qt's
// message loop, the Qt main window, and the chosen screen backend, and offers the capture
// action on the session bus. Needs the QApplication; call once, before
// KestrelMain::StartUp.
void InstallLinuxServices();

// Qt's own request to end the program (QCoreApplication::exit) ends it: with status 1 when
// Qt's X11 connection broke, else as Quit does. Needs the QApplication; call once, before
// anything else can make Qt ask.
void EndWhenQtEnds();

// SIGTERM, SIGINT and SIGHUP end the program from its event loop, as Quit does. Kept apart
// from the services so that a test process that installs those still dies of its signals.
void EndOnSignals();

}  // namespace App
