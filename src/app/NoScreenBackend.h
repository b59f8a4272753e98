// The screen, grab and hot key where Kestrel has no backend for the session (a build
// without X11, a desktop not supported yet, Qt drawing offscreen): each says why, so Ctrl+F
// and captures fail with that report and nothing crashes.
#pragma once

#include "core/seam/HotKey.h"
#include "core/seam/Screen.h"
#include "core/seam/ScreenGrab.h"

#include <string>

namespace App {

class NoScreenBackend final : public Platform::Screen,
                              public Platform::ScreenGrab,
                              public Platform::HotKey {
  public:
    // why: what the session is, "Kestrel was built without X11", say.
    explicit NoScreenBackend(std::string why) : why_(std::move(why)) {}

    KestrelMain::Result<Platform::ScreenRect> ReadPrimaryScreen() override;
    KestrelMain::Result<Platform::PointerReading> ReadPointer(const Platform::ScreenRect&) override;
    KestrelMain::Status Start() override;
    std::optional<std::string> NotReadyBecause() override { return std::nullopt; }
    KestrelMain::Result<KestrelMain::Picture> GrabScaled(const Platform::ScreenRect&, int,
                                                         int) override;
    KestrelMain::Status Register(Platform::HotKeyAnswers&) override;
    bool PressPending() override { return false; }
    bool TakePress() override { return false; }
    void Unregister() override {}

  private:
    KestrelMain::Failure Unavailable(std::string what) const;

    std::string why_;
};

}  // namespace App
