// The screen of an X11 session: the primary monitor's rectangle and the pointer relative to
// it, in device pixels of the root window.
#pragma once

#include "core/seam/Screen.h"
#include "platform/x11/X11Connection.h"

namespace Platform::X11 {

class X11Screen final : public Seam::Screen {
  public:
    // Asks once whether the server lists monitors (RandR 1.5); the monitors themselves are
    // asked at every capture, as the user may rearrange them at any time.
    explicit X11Screen(const X11Connection& connection);

    // The RandR monitor marked primary, else the first monitor, else the whole root window
    // (also where RandR is older than 1.5); clipped to the root window.
    KestrelMain::Result<Seam::ScreenRect> ReadPrimaryScreen() override;

    // The X server always tells where the pointer is.
    KestrelMain::Result<Seam::PointerReading> ReadPointer(
        const Seam::ScreenRect& primaryScreen) override;

  private:
    X11Connection x_;
    bool listsMonitors_ = false;
};

}  // namespace Platform::X11
