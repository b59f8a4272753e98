// The primary screen: the rectangle of the monitor that the desktop calls primary, in
// device pixels of the root window.
#pragma once

#include "platform/Failure.h"

namespace Platform {

struct ScreenRect {
    int X = 0;  // top-left corner in root-window coordinates
    int Y = 0;
    int Width = 0;
    int Height = 0;

    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// The RandR monitor marked primary, else the first monitor, else the whole root window;
// clipped to the root window. Fails outside an X11 session.
Result<ScreenRect> PrimaryScreen();

}  // namespace Platform
