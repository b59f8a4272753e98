// The screen as a capture needs it: the primary monitor's rectangle and where the pointer
// is relative to it, in device pixels.
#pragma once

#include "core/Failure.h"

#include <cstdint>
#include <optional>
#include <string>

namespace Seam {

struct ScreenRect {
    int X = 0;  // top-left corner in the desktop's coordinates
    int Y = 0;
    int Width = 0;
    int Height = 0;

    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// Negative left of or above the primary monitor, beyond its size right of or below it.
struct PointerPosition {
    std::int32_t X = 0;
    std::int32_t Y = 0;
};

// The pointer as the desktop tells it. Some desktops keep it to themselves (a Wayland
// compositor tells a client only about its own surfaces): the position is then unknown,
// which is an answer, not a failure.
struct PointerReading {
    std::optional<PointerPosition> Position;
    std::string WhyUnknown;  // said once a run, when Position is empty

    static PointerReading At(std::int32_t x, std::int32_t y) {
        return PointerReading{PointerPosition{x, y}, {}};
    }
    static PointerReading Unknown(std::string why) {
        return PointerReading{std::nullopt, std::move(why)};
    }
};

class Screen {
  public:
    // The monitor the desktop calls primary.
    virtual KestrelMain::Result<ScreenRect> ReadPrimaryScreen() = 0;

    // The pointer relative to the top-left corner of `primaryScreen`, as ReadPrimaryScreen
    // gave it, so a capture that has asked for the monitor does not ask again. Fails only
    // when asking fails (a broken connection).
    virtual KestrelMain::Result<PointerReading> ReadPointer(const ScreenRect& primaryScreen) = 0;

  protected:
    ~Screen() = default;
};

}  // namespace Seam
