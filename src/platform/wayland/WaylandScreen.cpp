#include "platform/wayland/WaylandScreen.h"

#include <cmath>

namespace Platform::Wayland {

KestrelMain::Result<ScreenRect> WaylandScreen::ReadPrimaryScreen() {
    // Outputs come and go, and change their modes: what the compositor said until now.
    if (auto failed = connection_.Sync())
        return *failed;
    const WaylandOutput* primary = connection_.Primary();
    if (primary == nullptr || primary->Width() <= 0 || primary->Height() <= 0)
        return CompositorFailure("Cannot find the primary screen",
                                 "the compositor shows no output");
    return ScreenRect{primary->LogicalX, primary->LogicalY, primary->Width(), primary->Height()};
}

KestrelMain::Result<PointerReading> WaylandScreen::ReadPointer(const ScreenRect& primaryScreen) {
    std::string whyUnknown;
    const auto found = probe_.Probe(whyUnknown);
    if (!found)
        return found.Error();
    if (!*found)
        return PointerReading::Unknown(whyUnknown);
    const PointerOnOutput& on = **found;
    // Device pixels of the primary output: its scale, from where it lies in the desktop.
    const WaylandOutput* primary = connection_.Primary();
    const int scale = primary != nullptr ? primary->Scale : 1;
    const double x = on.Output->LogicalX + on.X - primaryScreen.X;
    const double y = on.Output->LogicalY + on.Y - primaryScreen.Y;
    return PointerReading::At(static_cast<std::int32_t>(std::floor(x * scale)),
                              static_cast<std::int32_t>(std::floor(y * scale)));
}

}  // namespace Platform::Wayland
