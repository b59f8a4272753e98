// The screen grab: the primary screen, or a rectangle of a window, stretched or shrunk
// in one step to a picture of exactly AppState.OutputWidth x AppState.OutputHeight.
#pragma once

#include "core/Picture.h"
#include "platform/Failure.h"
#include "platform/Screen.h"
#include "platform/ScreenGrab.h"

#include <cstdint>

namespace Capture {

// The whole primary screen, as Platform::PrimaryScreen found it for this capture: the
// caller asks for the monitor once and hands the same rectangle to the pointer and here.
Platform::Result<KestrelMain::Picture> CaptureScreen(const Platform::ScreenRect& primaryScreen);

// The rectangle (x, y, width, height) of a window; with clientFlag non-zero measured from
// the window's own origin, otherwise from its top-level frame (the same for the desktop).
Platform::Result<KestrelMain::Picture> CaptureWindowArea(Platform::WindowId window,
                                                         std::int16_t clientFlag, std::int32_t x,
                                                         std::int32_t y, std::int32_t width,
                                                         std::int32_t height);

}  // namespace Capture
