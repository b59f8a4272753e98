// The screen, the scaled grab and the hot key of an X11 session, on the connection Qt
// opened, as the core asks for them.
#pragma once

#include "platform/HotKey.h"
#include "platform/Screen.h"
#include "platform/ScreenGrab.h"

namespace Platform {

class X11Screen final : public Screen {
  public:
    KestrelMain::Result<ScreenRect> ReadPrimaryScreen() override;
    KestrelMain::Result<PointerPosition> ReadPointer(const ScreenRect& primaryScreen) override;
};

// The root window's rectangle, grabbed through the one grabber of the run (its
// shared-memory segment and weights are kept between captures).
class X11ScreenGrab final : public ScreenGrab {
  public:
    KestrelMain::Result<KestrelMain::Picture> GrabScaled(const ScreenRect& area, int outputWidth,
                                                         int outputHeight) override;
};

// Ctrl+F grabbed on the root window (platform/x11/HotKey.h), one for the run.
class X11HotKey final : public HotKey {
  public:
    KestrelMain::Status Register() override;
    bool PressPending() override;
    bool TakePress() override;
};

}  // namespace Platform
