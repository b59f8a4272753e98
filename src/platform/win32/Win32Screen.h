// The primary monitor and the pointer on Windows, in physical pixels: the program is
// per-monitor DPI aware, so the system scales nothing. Windows puts the primary monitor's
// top-left corner at 0,0; its rectangle is still read, not assumed.
#pragma once

#include "core/seam/Screen.h"

namespace Platform::Win32 {

class Win32Screen final : public Seam::Screen {
  public:
    KestrelMain::Result<Seam::ScreenRect> ReadPrimaryScreen() override;
    KestrelMain::Result<Seam::PointerReading> ReadPointer(
        const Seam::ScreenRect& primaryScreen) override;
};

// Makes this process per-monitor DPI aware (v2) where the system offers it, as the
// program's manifest does; false where it does not (older systems, Wine).
bool BecomePerMonitorDpiAware();

}  // namespace Platform::Win32
