// The scaled grab in a Wayland session on wlroots compositors (sway, labwc, wayfire, river,
// Hyprland, niri): wlr-screencopy copies the primary output's next frame, without the
// cursor, into one shared-memory buffer kept for the run, and its rows are folded into the
// output size by the core's area scaler, turned upright as the output's transform and the
// frame's y-invert flag say.
#pragma once

#include "core/AreaScaler.h"
#include "core/seam/ScreenGrab.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandShmBuffer.h"

#include <cstdint>

namespace Platform::Wayland {

class WaylandScreenGrab final : public Seam::ScreenGrab {
  public:
    explicit WaylandScreenGrab(WaylandConnection& connection);
    ~WaylandScreenGrab();
    WaylandScreenGrab(const WaylandScreenGrab&) = delete;
    WaylandScreenGrab& operator=(const WaylandScreenGrab&) = delete;

    // Says on standard error how the screen and the pointer are read, and fails where the
    // compositor offers no way Kestrel knows to read the screen.
    KestrelMain::Status Start() override;
    std::optional<std::string> NotReadyBecause() override;

    // The primary output, whose upright size `area` gives, scaled to the output size.
    KestrelMain::Result<KestrelMain::Picture> GrabScaled(const Seam::ScreenRect& area,
                                                         int outputWidth,
                                                         int outputHeight) override;

  private:
    struct Offer {
        std::uint32_t Format = 0;
        int Width = 0;
        int Height = 0;
        int Stride = 0;
    };
    WaylandConnection& connection_;
    KestrelMain::AreaScaler scaler_;
    Offer offered_;  // what the kept buffer was made for
    WaylandShmBuffer buffer_;
};

}  // namespace Platform::Wayland
