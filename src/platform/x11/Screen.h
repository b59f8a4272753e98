// The primary screen: the rectangle of the monitor that the desktop calls primary, in
// device pixels of the root window.
#pragma once

#include "platform/Screen.h"
#include "platform/qt/Failure.h"

namespace Platform {

// The RandR monitor marked primary, else the first monitor, else the whole root window;
// clipped to the root window. Fails outside an X11 session.
Result<ScreenRect> PrimaryScreen();

}  // namespace Platform
