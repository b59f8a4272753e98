// The screen as a capture needs it: the primary monitor's rectangle and where the pointer
// is relative to it, in device pixels.
#pragma once

#include "core/Failure.h"

#include <cstdint>

namespace Platform {

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

class Screen {
  public:
    // The monitor the desktop calls primary.
    virtual KestrelMain::Result<ScreenRect> ReadPrimaryScreen() = 0;

    // The pointer relative to the top-left corner of `primaryScreen`, as ReadPrimaryScreen
    // gave it, so a capture that has asked for the monitor does not ask again.
    virtual KestrelMain::Result<PointerPosition> ReadPointer(const ScreenRect& primaryScreen) = 0;

  protected:
    ~Screen() = default;
};

}  // namespace Platform
