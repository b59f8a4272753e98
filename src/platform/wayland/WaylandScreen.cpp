#include "platform/wayland/WaylandScreen.h"

#include "core/CaptureSequence.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace Platform::Wayland {

KestrelMain::Result<Seam::ScreenRect> WaylandScreen::ReadPrimaryScreen() {
    // Outputs come and go, and change their modes: what the compositor said until now.
    if (auto failed = connection_.Sync())
        return *failed;
    const WaylandOutput* primary = connection_.Primary();
    // Every output off or unplugged: the desktop has no screen until one comes back, which
    // the timer waits for, saying so once.
    if (primary == nullptr)
        return KestrelMain::Failure{
            KestrelMain::SCREEN_NOT_READY, {}, "the compositor shows no output"};
    if (primary->Width() <= 0 || primary->Height() <= 0)
        return CompositorFailure("Cannot find the primary screen",
                                 "the compositor gives the primary output no size");
    primaryScale_ = primary->Scale;
    return Seam::ScreenRect{primary->LogicalX, primary->LogicalY, primary->Width(),
                            primary->Height()};
}

KestrelMain::Result<Seam::PointerReading> WaylandScreen::ReadPointer(
    const Seam::ScreenRect& primaryScreen) {
    std::string whyUnknown;
    const auto found = probe_.Probe(whyUnknown);
    if (!found)
        return found.Error();
    if (!*found)
        return Seam::PointerReading::Unknown(whyUnknown);
    const PointerOnOutput& on = **found;
    if (on.InDevicePixels) {
        // Whole device pixels of the output it is on: exact on the primary output, which is
        // where the pointer mostly is; else through the logical desktop, as below.
        const auto place = [&](int offset, double pixel) {
            const auto scaled = static_cast<std::int64_t>(pixel) * primaryScale_;
            const std::int64_t scale = std::max(on.Output->Scale, 1);
            const std::int64_t down =
                scaled >= 0 ? scaled / scale : -((-scaled + scale - 1) / scale);
            return static_cast<std::int32_t>(std::int64_t{offset} * primaryScale_ + down);
        };
        return Seam::PointerReading::At(place(on.Output->LogicalX - primaryScreen.X, on.X),
                                        place(on.Output->LogicalY - primaryScreen.Y, on.Y));
    }
    // Device pixels of the primary output as the capture found it: its scale, from where it
    // lies in the desktop.
    const double x = on.Output->LogicalX + on.X - primaryScreen.X;
    const double y = on.Output->LogicalY + on.Y - primaryScreen.Y;
    return Seam::PointerReading::At(static_cast<std::int32_t>(std::floor(x * primaryScale_)),
                                    static_cast<std::int32_t>(std::floor(y * primaryScale_)));
}

}  // namespace Platform::Wayland
