// The screen, grab and hot key where Kestrel has no backend for the session (a build
// without X11, a desktop not supported yet, Qt drawing offscreen): each says why, so Ctrl+F
// and captures fail with that report and nothing crashes.
#pragma once

#include "app/NoHotKey.h"
#include "core/seam/Screen.h"
#include "core/seam/ScreenGrab.h"

#include <string>

namespace App {

class NoScreenBackend final : public Seam::Screen, public Seam::ScreenGrab {
  public:
    // why: what the session is, "Kestrel was built without X11", say.
    explicit NoScreenBackend(std::string why) : why_(std::move(why)), hotKey_(Reason()) {}

    KestrelMain::Result<Seam::ScreenRect> ReadPrimaryScreen() override;
    KestrelMain::Result<Seam::PointerReading> ReadPointer(const Seam::ScreenRect&) override;
    KestrelMain::Status Start() override;
    std::optional<std::string> NotReadyBecause() override { return std::nullopt; }
    KestrelMain::Result<KestrelMain::Picture> GrabScaled(const Seam::ScreenRect&, int,
                                                         int) override;
    // Ctrl+F, which cannot be had either, for the same reason.
    Seam::HotKey& HotKey() { return hotKey_; }

  private:
    std::string Reason() const;
    KestrelMain::Failure Unavailable(std::string what) const;

    std::string why_;
    NoHotKey hotKey_;
};

}  // namespace App
