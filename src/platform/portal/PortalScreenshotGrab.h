// The scaled grab through the desktop portal's Screenshot: the last resort, on a desktop
// that offers Kestrel no other way to the screen. Each capture asks the portal for a
// screenshot without a dialog of its own (some desktops ask the user once whether Kestrel
// may take them), reads the PNG file it leaves, deletes that file, and folds the primary
// output's rectangle of it into the output size with the core's area scaler. The pointer is
// never in it.
#pragma once

#include "core/AreaScaler.h"
#include "core/seam/ScreenGrab.h"

#include <functional>
#include <optional>
#include <string>

namespace Platform::Portal {

class PortalScreenshotGrab final : public Seam::ScreenGrab {
  public:
    // `desktop` gives the rectangle all outputs cover, in the areas' coordinates: the
    // screenshot shows all of them, and the primary output is cut out of it.
    explicit PortalScreenshotGrab(std::function<std::optional<Seam::ScreenRect>()> desktop);

    // Nothing where the session's portal offers Screenshot; otherwise why not.
    static std::optional<std::string> Unavailable();

    KestrelMain::Status Start() override;
    std::optional<std::string> NotReadyBecause() override { return std::nullopt; }
    bool Refused() override { return refused_; }
    // The capture itself asks.
    bool AskAgain() override {
        refused_ = false;
        return false;
    }
    KestrelMain::Result<KestrelMain::Picture> GrabScaled(const Seam::ScreenRect& area,
                                                         int outputWidth,
                                                         int outputHeight) override;

  private:
    std::function<std::optional<Seam::ScreenRect>()> desktop_;
    KestrelMain::AreaScaler scaler_;
    bool refused_ = false;
};

}  // namespace Platform::Portal
