#include "app/WaylandServices.h"

#include "app/LinuxServices.h"
#include "app/NoHotKey.h"
#include "app/NoScreenBackend.h"
#include "platform/kde/KWinScreenShotGrab.h"
#include "platform/portal/PortalGlobalShortcuts.h"
#include "platform/portal/PortalScreenCast.h"
#include "platform/portal/PortalScreenshotGrab.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreen.h"
#include "platform/wayland/WaylandScreenGrab.h"
#include "platform/wayland/WaylandSwayHotKey.h"
#include "platform/wayland/WaylandSwayIpc.h"
#include "ui/qt/Controls.h"
#include "ui/qt/MainForm.h"
#include "ui/qt/WhenExposed.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

namespace App {

namespace {

// The Wayland backend of the run: its own connection to the compositor, apart from Qt's.
struct WaylandBackend {
    explicit WaylandBackend(std::unique_ptr<Platform::Wayland::WaylandConnection> opened)
        : Connection(std::move(opened)), Screen(*Connection) {}

    std::unique_ptr<Platform::Wayland::WaylandConnection> Connection;
    Platform::Wayland::WaylandScreen Screen;
    std::optional<Platform::Wayland::WaylandScreenGrab> Grab;
    std::optional<Platform::Portal::PortalScreenshotGrab> Screenshot;
    std::optional<Platform::Kde::KWinScreenShotGrab> KWin;
    std::optional<Platform::Portal::PortalScreenCast> ScreenCast;
    // Only sway binds a key for a program, through its IPC.
    std::optional<Platform::Wayland::WaylandSwayHotKey> SwayHotKey;
    // Elsewhere the desktop portal's GlobalShortcuts, where the desktop has them.
    std::optional<Platform::Portal::PortalGlobalShortcuts> PortalHotKey;
};

// The screen and grab of the first screen source that works here, or of the one the user
// asked for; said on standard error.
void ChooseWaylandSource(WaylandBackend& wayland, Seam::ErrorReport& errors,
                         Seam::Services& services) {
    Platform::Wayland::WaylandConnection& connection = *wayland.Connection;
    // The compositor's own screen, unless the source brings its own.
    services.Screen = &wayland.Screen;
    const auto grab = [&](Platform::Wayland::CaptureProtocol protocol) {
        wayland.Grab.emplace(connection, protocol);
        services.Grab = &*wayland.Grab;
    };
    const ScreenSource sources[] = {
        // wlroots' successor of wlr-screencopy, and the one protocol COSMIC offers.
        {"image-copy",
         [&]() -> std::optional<std::string> {
             if (!connection.OffersImageCopy())
                 return "the compositor offers no ext-image-copy-capture";
             return std::nullopt;
         },
         [&] { grab(Platform::Wayland::CaptureProtocol::ImageCopy); }},
        {"screencopy",
         [&]() -> std::optional<std::string> {
             if (connection.Screencopy() == nullptr)
                 return "the compositor offers no wlr-screencopy";
             return std::nullopt;
         },
         [&] { grab(Platform::Wayland::CaptureProtocol::Screencopy); }},
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
                                            Ui::WhenExposed(Ui::MainForm::Instance(),
                                                            std::move(ask));
                                        });
             services.Screen = &*wayland.ScreenCast;
             services.Grab = &*wayland.ScreenCast;
         }},
        {"screenshot", [] { return Platform::Portal::PortalScreenshotGrab::Unavailable(); },
         [&] {
             wayland.Screenshot.emplace([&connection] { return connection.Desktop(); });
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

}  // namespace

// The compositor's screen source and a hot key for it; without a compositor, why not in
// `whyNone`. `noAction` says why the capture action is not offered, if it is not.
void InstallWaylandBackend(const KestrelMain::Status& noAction,
                           Platform::QtToolkit::QtErrorReport& errors, Seam::Services& services,
                           std::string& whyNone) {
    static std::unique_ptr<WaylandBackend> wayland;
    auto connection = Platform::Wayland::WaylandConnection::Open();
    if (!connection) {
        whyNone = connection.Error().Text();
        return;
    }
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
}

}  // namespace App
