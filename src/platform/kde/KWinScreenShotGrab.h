// The scaled grab through KWin's own screenshot interface (org.kde.KWin.ScreenShot2 on the
// session bus), on a KDE Plasma session, which offers no wlr-screencopy. KWin lets only the
// programs whose desktop entry names the interface use it, so an installed Kestrel can and a
// copy elsewhere cannot: Unavailable asks KWin first, and the next source is chosen when it
// refuses. Each capture asks for the primary output at its native resolution, without the
// pointer and with Kestrel's own windows left in, reads the raw image KWin writes into a
// pipe, and folds it into the output size with the core's area scaler.
#pragma once

#include "core/AreaScaler.h"
#include "core/seam/ScreenGrab.h"

#include <functional>
#include <optional>
#include <string>

namespace Platform::Kde {

class KWinScreenShotGrab final : public Seam::ScreenGrab {
  public:
    // `primaryOutput` names the primary output as the compositor does ("Virtual-0", "DP-2").
    explicit KWinScreenShotGrab(std::function<std::string()> primaryOutput);

    // Nothing where KWin lets this program take screenshots; otherwise why not. `refused`
    // tells whether KWin is there and refuses this program, which its user can mend.
    static std::optional<std::string> Unavailable(bool& refused);

    KestrelMain::Status Start() override;
    std::optional<std::string> NotReadyBecause() override { return std::nullopt; }
    KestrelMain::Result<KestrelMain::Picture> GrabScaled(const Seam::ScreenRect& area,
                                                         int outputWidth,
                                                         int outputHeight) override;

  private:
    // Asked at every capture: the user may make another output the primary at any time.
    std::function<std::string()> primaryOutput_;
    std::string shownOutput_;  // the primary output last said
    KestrelMain::AreaScaler scaler_;
};

}  // namespace Platform::Kde
