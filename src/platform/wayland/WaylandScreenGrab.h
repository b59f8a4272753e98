// The scaled grab in a Wayland session on wlroots compositors (sway, labwc, wayfire, river,
// Hyprland, niri, COSMIC): ext-image-copy-capture or, before it, wlr-screencopy copies the
// primary output's next frame, without the cursor, into one shared-memory buffer kept for
// the run, and its rows are folded into the output size by the core's area scaler, turned
// upright as the frame's transform and y-invert flag say.
#pragma once

#include "core/AreaScaler.h"
#include "core/seam/ScreenGrab.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandShmBuffer.h"

#include <cstdint>

namespace Platform::Wayland {

// The compositor's protocols Kestrel copies an output with.
enum class CaptureProtocol { ImageCopy, Screencopy };

class WaylandScreenGrab final : public Seam::ScreenGrab {
  public:
    WaylandScreenGrab(WaylandConnection& connection, CaptureProtocol protocol);
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
        bool operator==(const Offer&) const = default;
    };
    // One frame copied into the kept buffer: what it holds, or why not.
    struct Copied {
        Offer Offered;
        int Transform = 0;  // wl_output.transform: how the buffer is turned to show upright
        bool YInverted = false;
        bool CompositorFailed = false;  // the compositor said so, rather than Kestrel
    };
    KestrelMain::Status CopyWithImageCopy(const WaylandOutput& output, Copied& copied);
    KestrelMain::Status CopyWithScreencopy(const WaylandOutput& output, Copied& copied);
    // The kept buffer, re-made where the compositor offers another size or format.
    KestrelMain::Status Keep(const Offer& offer);
    const char* ProtocolName() const;

    WaylandConnection& connection_;
    CaptureProtocol protocol_;
    KestrelMain::AreaScaler scaler_;
    Offer offered_;  // what the kept buffer was made for
    WaylandShmBuffer buffer_;
};

}  // namespace Platform::Wayland
