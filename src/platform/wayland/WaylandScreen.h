// The screen of a Wayland session: the primary output (the one at logical 0,0, else the
// first) in device pixels, upright; and the pointer relative to it, asked of the compositor
// through a cursor session or an overlay (WaylandPointerProbe), unknown where the compositor
// cannot be asked.
#pragma once

#include "core/seam/Screen.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandPointerProbe.h"

namespace Platform::Wayland {

class WaylandScreen final : public Seam::Screen {
  public:
    explicit WaylandScreen(WaylandConnection& connection)
        : connection_(connection), probe_(connection) {}

    // X and Y are the output's logical position; width and height its upright size in
    // device pixels (the mode, turned as the output is). With no output at all, the screen
    // is not ready: the desktop may show one again.
    KestrelMain::Result<Seam::ScreenRect> ReadPrimaryScreen() override;

    // In device pixels of the primary output from its top-left corner: negative on an
    // output left of or above it.
    KestrelMain::Result<Seam::PointerReading> ReadPointer(
        const Seam::ScreenRect& primaryScreen) override;

  private:
    WaylandConnection& connection_;
    WaylandPointerProbe probe_;
    int primaryScale_ = 1;  // of the primary output ReadPrimaryScreen found
};

}  // namespace Platform::Wayland
