// Where the mouse pointer is, in device pixels relative to the primary screen's top-left
// corner: negative left of or above it, beyond its size right of or below it.
#pragma once

#include "platform/Screen.h"
#include "platform/qt/Failure.h"

#include <cstdint>

namespace Platform {

// Relative to the top-left corner of `screen`, the primary screen as PrimaryScreen found it,
// so a capture that has asked for the monitor does not ask again.
Result<PointerPosition> PointerOnScreen(const ScreenRect& screen);

}  // namespace Platform
