#include "app/LinuxServices.h"

#include "app/NoHotKey.h"
#include "app/NoScreenBackend.h"
#include "core/CaptureSequence.h"
#include "core/KestrelMain.h"
#include "core/seam/Services.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixEndSignals.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProcess.h"
#include "platform/qt/QtApplicationService.h"
#include "platform/qt/QtErrorReport.h"
#include "platform/qt/QtMessageLoop.h"
#include "platform/qt/QtSettingsStore.h"
#include "platform/qt/QtWebPage.h"
#include "ui/qt/Controls.h"
#include "ui/qt/MainForm.h"

#if KESTREL_WAYLAND
#include "platform/kde/KWinScreenShotGrab.h"
#include "platform/portal/PortalGlobalShortcuts.h"
#include "platform/portal/PortalScreenCast.h"
#include "platform/portal/PortalScreenshotGrab.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreen.h"
#include "platform/wayland/WaylandScreenGrab.h"
#include "platform/wayland/WaylandSwayHotKey.h"
#include "platform/wayland/WaylandSwayIpc.h"
#endif
#if KESTREL_X11
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotKey.h"
#include "platform/x11/X11Screen.h"
#include "platform/x11/X11ScreenGrab.h"
#include "platform/x11/X11TaskBar.h"
#endif

#include <QEvent>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace App {

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

#if KESTREL_X11
// The X11 backend of the run: one connection, looked up once, shared by all four.
struct X11Backend {
    explicit X11Backend(const Platform::X11::X11Connection& connection)
        : Screen(connection), Grab(connection), HotKey(connection), TaskBar(connection) {}

    Platform::X11::X11Screen Screen;
    Platform::X11::X11ScreenGrab Grab;
    Platform::X11::X11HotKey HotKey;
    Platform::X11::X11TaskBar TaskBar;
};
#endif

#if KESTREL_WAYLAND
// The Wayland backend of the run: its own connection to the compositor, apart from Qt's.
struct WaylandBackend {
    explicit WaylandBackend(std::unique_ptr<Platform::Wayland::WaylandConnection> opened)
        : Connection(std::move(opened)), Screen(*Connection), Grab(*Connection) {}

    std::unique_ptr<Platform::Wayland::WaylandConnection> Connection;
    Platform::Wayland::WaylandScreen Screen;
    Platform::Wayland::WaylandScreenGrab Grab;
    std::optional<Platform::Portal::PortalScreenshotGrab> Screenshot;
    std::optional<Platform::Kde::KWinScreenShotGrab> KWin;
    std::optional<Platform::Portal::PortalScreenCast> ScreenCast;
    // Only sway binds a key for a program, through its IPC.
    std::optional<Platform::Wayland::WaylandSwayHotKey> SwayHotKey;
    // Elsewhere the desktop portal's GlobalShortcuts, where the desktop has them.
    std::optional<Platform::Portal::PortalGlobalShortcuts> PortalHotKey;
};

// The rectangle all outputs cover, in the coordinates of the primary output's rectangle.
std::optional<Platform::ScreenRect> DesktopOf(
    const Platform::Wayland::WaylandConnection& connection) {
    std::optional<Platform::ScreenRect> desktop;
    for (const auto& output : connection.Outputs()) {
        if (!output->Described)
            continue;
        const Platform::ScreenRect shown{output->LogicalX, output->LogicalY, output->Width(),
                                         output->Height()};
        if (!desktop) {
            desktop = shown;
            continue;
        }
        const int right = std::max(desktop->X + desktop->Width, shown.X + shown.Width);
        const int bottom = std::max(desktop->Y + desktop->Height, shown.Y + shown.Height);
        desktop->X = std::min(desktop->X, shown.X);
        desktop->Y = std::min(desktop->Y, shown.Y);
        desktop->Width = right - desktop->X;
        desktop->Height = bottom - desktop->Y;
    }
    return desktop;
}

// Runs `then` once, when the window is first on screen, or after a while if it never is.
void WhenExposed(QWidget& widget, std::function<void()> then) {
    class Watcher final : public QObject {
      public:
        explicit Watcher(std::function<void()> then) : then_(std::move(then)) {
            QTimer::singleShot(std::chrono::seconds(2), this, [this] { Run(); });
        }
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Expose)
                QTimer::singleShot(0, this, [this] { Run(); });
            return false;
        }

      private:
        void Run() {
            if (const auto then = std::exchange(then_, nullptr)) {
                then();
                deleteLater();
            }
        }
        std::function<void()> then_;
    };
    QWindow* window = widget.windowHandle();
    if (window == nullptr || window->isExposed()) {
        then();
        return;
    }
    window->installEventFilter(new Watcher(std::move(then)));
}

// The screen and grab of the first screen source that works here, or of the one the user
// asked for; said on standard error.
void ChooseWaylandSource(WaylandBackend& wayland, Platform::ErrorReport& errors,
                         Platform::Services& services) {
    Platform::Wayland::WaylandConnection& connection = *wayland.Connection;
    // The compositor's own screen, unless the source brings its own.
    services.Screen = &wayland.Screen;
    const ScreenSource sources[] = {
        {"screencopy",
         [&]() -> std::optional<std::string> {
             if (connection.Screencopy() == nullptr)
                 return "the compositor offers no wlr-screencopy";
             return std::nullopt;
         },
         [&] { services.Grab = &wayland.Grab; }},
        {"kwin",
         [&] {
             bool refused = false;
             auto why = Platform::Kde::KWinScreenShotGrab::Unavailable(refused);
             // Said whatever is chosen instead: an installed Kestrel would have it.
             if (refused)
                 errors.Note("Wayland: KWin's screenshot interface cannot be used: " + *why);
             return why;
         },
         [&] {
             wayland.KWin.emplace([&connection] {
                 const Platform::Wayland::WaylandOutput* primary = connection.Primary();
                 return primary != nullptr ? primary->Connector : std::string();
             });
             services.Grab = &*wayland.KWin;
         }},
        {"screencast", [] { return Platform::Portal::PortalScreenCast::Unavailable(); },
         [&] {
             wayland.ScreenCast.emplace(Platform::Portal::PortalScreenCast::DefaultTokenFile(),
                                        [](std::function<void()> ask) {
                                            WhenExposed(Ui::MainForm::Instance(), std::move(ask));
                                        });
             services.Screen = &*wayland.ScreenCast;
             services.Grab = &*wayland.ScreenCast;
         }},
        {"screenshot", [] { return Platform::Portal::PortalScreenshotGrab::Unavailable(); },
         [&] {
             wayland.Screenshot.emplace([&connection] { return DesktopOf(connection); });
             services.Grab = &*wayland.Screenshot;
         }},
    };
    const char* requested = std::getenv("KESTREL_SCREEN_SOURCE");
    const SourceChoice choice = ChooseScreenSource(sources, requested != nullptr ? requested : "");
    for (const std::string& note : choice.Notes) errors.Note(note);
    for (const ScreenSource& source : sources) {
        if (source.Name == choice.Source)
            source.Make();
    }
    if (choice.Source.empty()) {
        static NoScreenBackend none("no screen source works here: " + choice.WhyNone);
        services.Grab = &none;
    }
}
#endif

}  // namespace

BackendChoice ChooseScreenBackend(const Session& session) {
    if (session.Wayland) {
        if (session.WaylandBuilt)
            return {"wayland", {}};
        return {{}, "a Wayland session, and Kestrel was built without Wayland"};
    }
    if (!session.X11Built)
        return {{}, "Kestrel was built without X11"};
    if (session.QtPlatform != "xcb")
        return {{}, "the display runs \u201C" + session.QtPlatform + "\u201D"};
    return {"x11", {}};
}

SourceChoice ChooseScreenSource(std::span<const ScreenSource> sources, std::string_view requested) {
    SourceChoice choice;
    if (!requested.empty()) {
        const std::string asked = "KESTREL_SCREEN_SOURCE=" + std::string(requested);
        const auto named = std::find_if(sources.begin(), sources.end(),
                                        [&](const ScreenSource& s) { return s.Name == requested; });
        if (named == sources.end()) {
            std::string names;
            for (const ScreenSource& source : sources) {
                if (!names.empty())
                    names += &source == &sources.back() ? " or " : ", ";
                names += source.Name;
            }
            choice.Notes.push_back(asked + " names no screen source (" + names +
                                   "); choosing as usual");
        } else if (auto why = named->WhyNot()) {
            choice.Notes.push_back(asked + " cannot be used: " + *why + "; choosing as usual");
        } else {
            choice.Source = requested;
            return choice;
        }
    }
    for (const ScreenSource& source : sources) {
        if (source.Name == requested)
            continue;  // asked already, and the note says why not
        if (const auto why = source.WhyNot()) {
            choice.WhyNone +=
                (choice.WhyNone.empty() ? "" : "; ") + std::string(source.Name) + ": " + *why;
            continue;
        }
        choice.Source = source.Name;
        return choice;
    }
    return choice;
}

Session CurrentSession() {
    const char* type = std::getenv("XDG_SESSION_TYPE");
    Session session;
    session.Wayland =
        Set("WAYLAND_DISPLAY") || (type != nullptr && std::string_view(type) == "wayland");
    session.QtPlatform = QGuiApplication::platformName().toStdString();
    session.X11Built = KESTREL_X11 != 0;
    session.WaylandBuilt = KESTREL_WAYLAND != 0;
    return session;
}

void InstallLinuxServices() {
    // Each lives as long as the program, which ends without running destructors.
    static Platform::QtToolkit::QtSettingsStore settings;
    static Platform::QtToolkit::QtErrorReport errors;
    static Platform::QtToolkit::QtWebPage web;
    static Platform::Posix::PosixClock clock;
    static Platform::Posix::PosixFileSystem files;
    static KestrelMain::MainWindowOnFirstUse<Ui::MainForm> mainWindow;

    Platform::Services services;
    services.Settings = &settings;
    services.Errors = &errors;
    services.Web = &web;
    services.Clock = &clock;
    services.Files = &files;
    services.MainWindow = &mainWindow;

    // Never destroyed: an exit() from inside Qt must not tear it down under the bus's
    // own connection.
    static auto* bus = new Platform::QtToolkit::QtApplicationService(
        {[] { KestrelMain::MakeRequestedCapture(); },
         [](const std::string& token) {
             // Taken by Qt's Wayland window as it asks to be activated, and used up there.
             if (!token.empty())
                 qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(token));
             Ui::ShowInFront(Ui::MainForm::Instance());
         }});
    const KestrelMain::Status noAction = bus->Register();
    if (noAction)
        errors.Note(noAction->Text());

    BackendChoice choice = ChooseScreenBackend(CurrentSession());
#if KESTREL_WAYLAND
    static std::unique_ptr<WaylandBackend> wayland;
    if (choice.Backend == "wayland") {
        auto connection = Platform::Wayland::WaylandConnection::Open();
        if (connection) {
            wayland = std::make_unique<WaylandBackend>(std::move(connection.Value()));
            ChooseWaylandSource(*wayland, errors, services);
            errors.SetOwner([]() -> QWidget* { return &Ui::MainForm::Instance(); });
            const std::string sway = Platform::Wayland::WaylandSwayIpc::SocketPath();
            if (!sway.empty()) {
                // The binding runs the capture action: only this Kestrel's, if it has it.
                wayland->SwayHotKey.emplace(
                    sway, noAction ? std::optional<std::string>(noAction->Text()) : std::nullopt);
                services.HotKey = &*wayland->SwayHotKey;
            } else {
                static NoHotKey unbound(
                    "this desktop lets no program take a key; bind Ctrl+F to Kestrel's capture "
                    "action in the desktop's settings (see the README)");
                wayland->PortalHotKey.emplace(unbound);
                services.HotKey = &*wayland->PortalHotKey;
            }
        } else {
            choice.WhyNone = connection.Error().Text();
        }
    }
#endif
#if KESTREL_X11
    static std::unique_ptr<X11Backend> x11;
    if (choice.Backend == "x11") {
        if (const auto connection = Platform::X11::X11Connection::OfQtApplication())
            x11 = std::make_unique<X11Backend>(*connection);
    }
    if (x11) {
        services.Screen = &x11->Screen;
        services.Grab = &x11->Grab;
        services.HotKey = &x11->HotKey;
        services.TaskBar = &x11->TaskBar;
    }
#endif
    if (services.Screen == nullptr || services.HotKey == nullptr) {
        static NoScreenBackend none(choice.WhyNone.empty() ? "the X server is out of reach"
                                                           : choice.WhyNone);
        if (services.Screen == nullptr) {
            services.Screen = &none;
            services.Grab = &none;
        }
        if (services.HotKey == nullptr)
            services.HotKey = &none.HotKey();
    }
    static std::unique_ptr<Platform::QtToolkit::QtMessageLoop> loop;
    loop = std::make_unique<Platform::QtToolkit::QtMessageLoop>(*services.HotKey);
    services.Loop = loop.get();
    Platform::Install(services);
}

void EndWhenQtEnds() {
    // Qt's request ends only the event loops of Qt's that run, and Kestrel runs none (its
    // own loop pumps Qt's events): unanswered, it would go unheard. Qt asks once. It is how
    // a newer Qt (6.11; 6.8 still ended the process itself) ends the program when the X
    // server went away, having said so already.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] {
#if KESTREL_X11
        // Nothing of the display's is left to give back.
        if (Platform::X11::X11Connection::QtConnectionBroken()) {
            std::fflush(stdout);
            std::fflush(stderr);
            std::_Exit(EXIT_FAILURE);
        }
#endif
        if (Platform::Installed().Loop != nullptr)
            KestrelMain::Quit();
        Platform::Posix::EndProgramNow();  // before the services: nothing to give back yet
    });
}

void EndOnSignals() {
    const auto watched = Platform::Posix::CatchEndSignals();
    if (!watched) {
        Platform::Installed().Errors->Note(watched.Error().Text());
        return;
    }
    // Lives as long as the program, like the bus's service.
    auto* notifier = new QSocketNotifier(*watched, QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [] { KestrelMain::Quit(); });
}

}  // namespace App
