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
#include "app/WaylandServices.h"
#endif
#if KESTREL_X11
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotKey.h"
#include "platform/x11/X11Screen.h"
#include "platform/x11/X11ScreenGrab.h"
#include "platform/x11/X11TaskBar.h"
#endif

#include <QGuiApplication>
#include <QSocketNotifier>

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

}  // namespace

BackendChoice ChooseScreenBackend(const Session& session) {
    if (session.Wayland) {
        if (session.WaylandBuilt)
            return {ScreenBackend::Wayland, {}};
        return {ScreenBackend::None, "a Wayland session, and Kestrel was built without Wayland"};
    }
    if (!session.X11Built)
        return {ScreenBackend::None, "Kestrel was built without X11"};
    if (session.QtPlatform != "xcb")
        return {ScreenBackend::None, "the display runs \u201C" + session.QtPlatform + "\u201D"};
    return {ScreenBackend::X11, {}};
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

namespace {

// Kestrel's name and its capture action on the session bus, or why it has none.
KestrelMain::Status OfferCaptureAction() {
    // Never destroyed: an exit() from inside Qt must not tear it down under the bus's
    // own connection.
    static auto* bus = new Platform::QtToolkit::QtApplicationService(
        {[] {
             KestrelMain::MakeRequestedCapture();
             // The bus's answer follows the file, so a script that asked for a capture finds
             // it named and on the disk.
             Seam::Installed().Files->WaitForSaves();
         },
         [](const std::string& token) {
             Ui::ShowInFront(Ui::MainForm::Instance());
             // A Wayland window comes to the front only with the token of the launch that
             // asked for it: Qt's window takes it from the environment as it asks, and uses
             // it up.
             if (!token.empty() && Ui::OnWayland()) {
                 qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(token));
                 Ui::MainForm::Instance().activateWindow();
             }
         }});
    return bus->Register();
}

// A save that failed after its capture's handler returned (its flush to the disk or its
// name, on the file system's own thread) is reported from the event loop like any other.
void ReportLateSaveFailure(const KestrelMain::Failure& failed) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [failed] { Seam::Installed().Errors->Report(failed); },
        Qt::QueuedConnection);
}

}  // namespace

void InstallLinuxServices() {
    // Each lives as long as the program, which ends without running destructors.
    static Platform::QtToolkit::QtSettingsStore settings;
    static Platform::QtToolkit::QtErrorReport errors;
    static Platform::QtToolkit::QtWebPage web;
    static Platform::Posix::PosixClock clock;
    static Platform::Posix::PosixFileSystem files(ReportLateSaveFailure);
    static Seam::MainWindowOnFirstUse<Ui::MainForm> mainWindow;

    Seam::Services services;
    services.Settings = &settings;
    services.Errors = &errors;
    services.Web = &web;
    services.Clock = &clock;
    services.Files = &files;
    services.MainWindow = &mainWindow;

    const KestrelMain::Status noAction = OfferCaptureAction();
    if (noAction)
        errors.Note(noAction->Text());

    BackendChoice choice = ChooseScreenBackend(CurrentSession());
#if KESTREL_WAYLAND
    if (choice.Backend == ScreenBackend::Wayland)
        InstallWaylandBackend(noAction, errors, services, choice.WhyNone);
#endif
#if KESTREL_X11
    static std::unique_ptr<X11Backend> x11;
    if (choice.Backend == ScreenBackend::X11) {
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
    Seam::Install(services);
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
        if (Seam::Installed().Loop != nullptr)
            KestrelMain::Quit();
        Platform::Posix::EndProgramNow();  // before the services: nothing to give back yet
    });
}

void EndOnSignals() {
    const auto watched = Platform::Posix::CatchEndSignals();
    if (!watched) {
        Seam::Installed().Errors->Note(watched.Error().Text());
        return;
    }
    // Lives as long as the program, like the bus's service.
    auto* notifier = new QSocketNotifier(*watched, QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [] { KestrelMain::Quit(); });
}

}  // namespace App
