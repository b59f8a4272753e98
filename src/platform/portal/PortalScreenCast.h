// The screen through the desktop portal's ScreenCast, where the compositor offers a client
// no way of its own (GNOME): one monitor, granted by the user once and then remembered
// with the restore token the portal gives, kept in Kestrel's state folder, outside the
// settings. The stream is set up at start-up, asynchronously, as the portal may show its
// chooser; it runs for the run and a capture scales the newest frame. The granted monitor
// is the primary one, and the pointer is read from the stream's metadata, in the monitor's
// pixels.
//
// A request refused or a chooser cancelled (or the cast stopped from the desktop) is
// reported once; captures are then skipped until the button asks again.
#pragma once

#include "core/AreaScaler.h"
#include "core/seam/Screen.h"
#include "core/seam/ScreenGrab.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Platform::Portal {

class PortalScreenCast final : public Seam::Screen, public Seam::ScreenGrab {
  public:
    // Runs the request it is given once the program's window is on screen.
    using WhenShown = std::function<void(std::function<void()>)>;

    // `tokenFile` keeps the portal's restore token between runs. The first request waits
    // for `whenShown`, so that the desktop's chooser comes up over Kestrel's window, which
    // would otherwise take the focus from it as it appears.
    PortalScreenCast(std::string tokenFile, WhenShown whenShown);
    ~PortalScreenCast();
    PortalScreenCast(const PortalScreenCast&) = delete;
    PortalScreenCast& operator=(const PortalScreenCast&) = delete;

    // Nothing where the session's portal offers ScreenCast with remembered grants; otherwise
    // why not.
    static std::optional<std::string> Unavailable();

    // $XDG_STATE_HOME/kestrel/screencast-restore-token, $XDG_STATE_HOME defaulting to
    // ~/.local/state.
    static std::string DefaultTokenFile();

    KestrelMain::Result<Seam::ScreenRect> ReadPrimaryScreen() override;
    KestrelMain::Result<Seam::PointerReading> ReadPointer(
        const Seam::ScreenRect& primaryScreen) override;

    // Asks the portal for the screen; the answer comes later.
    KestrelMain::Status Start() override;
    std::optional<std::string> NotReadyBecause() override;
    bool Refused() override;
    bool AskAgain() override;
    KestrelMain::Result<KestrelMain::Picture> GrabScaled(const Seam::ScreenRect& area,
                                                         int outputWidth,
                                                         int outputHeight) override;

    // What the set-up and the stream share; the set-up runs on a thread of its own.
    struct Shared;

  private:
    void Ask();

    WhenShown whenShown_;
    std::shared_ptr<Shared> shared_;
    KestrelMain::AreaScaler scaler_;
};

}  // namespace Platform::Portal
